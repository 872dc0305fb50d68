// vorkan-cli: the readability test without a window.

#include "app/cli_host.h"
#include "app/cli_texts.h"
#include "app/status_line.h"
#include "common/message_port.h"
#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "engine/findings_json.h"
#include "engine/report.h"
#include "engine/vorkan_engine.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/key_value_store.h"
#include "platform/user_dirs.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <optional>

namespace {

enum ExitCode { kOk = 0, kErrorsFound = 1, kRefused = 2, kInternal = 3, kReportFailed = 4, kStopped = 130 };

// Messages go to standard error as single lines; the status line is cleared first.
class CliMessagePort final : public common::MessagePort {
public:
    explicit CliMessagePort(app::StatusLine& status) : status_(status) {}
    common::DialogResult show(common::DialogKind kind, const std::string& text) override
    {
        status_.clear();
        return plain_.show(kind, text);
    }
    void beep() override {}

private:
    app::StatusLine& status_;
    common::StderrMessagePort plain_;
};

struct Options {
    bool quick = false;
    std::string report;
    std::string json; // "-": standard output
    double slow = 1.0;
    bool map = false;
    std::optional<std::string> drive, dir, file;
    bool drives = false;
    bool version = false;
};

int listDrives(common::Pelun& pelun, const platform::DriveTable& table)
{
    for (const auto& d : table.drives()) {
        std::string ready = platform::DriveTable::ready(d) ? "připravena" : "není připravena";
        std::printf("%s\t%s\t%s\n", d.entryText().c_str(), pelun.PS_GetdriveType(d.letter).c_str(), ready.c_str());
    }
    return kOk;
}

engine::TestSettings settingsFrom(const Options& o)
{
    engine::TestSettings s;
    s.RychlyTest = o.quick;
    if (o.drive) {
        s.object = engine::TestObject::Jednotka;
        s.JednE = *o.drive;
    } else if (o.dir) {
        s.object = engine::TestObject::Adresar;
        s.AdrE = *o.dir;
    } else {
        s.object = engine::TestObject::Soubor;
        s.SoubE = *o.file;
    }
    return s;
}

engine::ObjectKind objectKind(const Options& o)
{
    return o.drive ? engine::ObjectKind::Drive : o.dir ? engine::ObjectKind::Directory : engine::ObjectKind::File;
}

bool writeJson(const engine::VorkanEngine& engine, const Options& o)
{
    std::string doc = engine::findingsJson(engine, objectKind(o), o.quick);
    if (o.json == "-") {
        if (std::fwrite(doc.data(), 1, doc.size(), stdout) == doc.size() && std::fflush(stdout) == 0)
            return true;
        std::fprintf(stderr, "%s\n", app::texts::kJsonNelzeZapsat);
        return false;
    }
    auto saved = engine::saveFile(o.json, doc, app::texts::kJsonNelzeUlozit);
    if (!saved.ok)
        std::fprintf(stderr, "%s\n", saved.error.c_str());
    return saved.ok;
}

int finish(const engine::VorkanEngine& engine, const Options& o)
{
    switch (engine.lastOutcome()) {
    case engine::RunOutcome::Finished: break;
    case engine::RunOutcome::Stopped: return kStopped;
    case engine::RunOutcome::Failed: return kInternal;
    default: return kRefused;
    }
    auto lines = engine::protocolLines(engine.view().result);
    if (o.json != "-") {
        std::string text = engine::joinLines(lines, "\n");
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    if (!o.report.empty()) {
        auto saved = engine::saveProtocol(o.report, lines);
        if (!saved.ok) {
            std::fprintf(stderr, "%s\n", saved.error.c_str());
            return kReportFailed;
        }
    }
    if (!o.json.empty() && !writeJson(engine, o))
        return kReportFailed;
    return engine.view().result.ChybSezn.empty() ? kOk : kErrorsFound;
}

int runTest(const Options& o)
{
    app::StatusLine status;
    CliMessagePort port(status);
    auto drives = platform::DriveTable::fromMountTable();
    platform::KeyValueStore registry(platform::defaultRegistryFile());
    common::Pelun pelun(port, drives, registry, {platform::currentDirectory(), platform::defaultSystemRoot()});
    if (o.drives)
        return listDrives(pelun, drives);
    app::CliHost host;
    platform::SystemClock clock;
    engine::VorkanEngine engine(pelun, host, clock);
    host.attach(engine);
    engine.setSlowThreshold(o.slow);
    engine.setMapDamage(o.map);
    host.onMainTick([&] { status.show(engine.view().test); });
    engine.StartBtnClick(settingsFrom(o));
    status.clear();
    int code = finish(engine, o);
    if (engine.readStillBlocked()) {
        // The thread of a read stalled in the kernel can be neither joined nor stopped:
        // leave without the orderly shut-down that would wait for it.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    Options o;
    CLI::App cli("Tests whether the data of a drive, a directory tree or a file can be read back.", "vorkan-cli");
    cli.add_flag("--quick", o.quick, "quick test: read the first 2 bytes of each file");
    cli.add_option("--report", o.report, "also save the protocol to FILE (Windows-1250, CR LF)")->type_name("FILE");
    cli.add_option("--json", o.json, app::texts::kJsonHelp)->type_name("FILE");
    cli.add_flag("--map", o.map, app::texts::kMapHelp);
    cli.add_option("--slow", o.slow, app::texts::kSlowHelp)->type_name("SECONDS")->check(CLI::NonNegativeNumber);
    auto* drive = cli.add_option("--drive", o.drive, "test a drive; the first character is its letter")->type_name("TEXT");
    auto* dir = cli.add_option("--dir", o.dir, "test a directory and its subdirectories")->type_name("PATH");
    auto* file = cli.add_option("--file", o.file, "test one file")->type_name("PATH");
    auto* drivesFlag = cli.add_flag("--drives", o.drives, "list the drives with their type and readiness");
    auto* versionFlag = cli.add_flag("--version", o.version, "print the program's name and version");
    drive->excludes(dir, file, drivesFlag, versionFlag);
    dir->excludes(file, drivesFlag, versionFlag);
    file->excludes(drivesFlag, versionFlag);
    drivesFlag->excludes(versionFlag);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return cli.exit(e);
    } catch (const CLI::ParseError& e) {
        cli.exit(e);
        return kRefused;
    }
    if (o.version) {
        std::puts(engine::texts::kAppTitle);
        return kOk;
    }
    if (!o.drives && !o.drive && !o.dir && !o.file) {
        std::fputs("vorkan-cli: one of --drive, --dir, --file, --drives or --version is required\n", stderr);
        std::fputs(cli.help().c_str(), stderr);
        return kRefused;
    }
    return runTest(o);
}
