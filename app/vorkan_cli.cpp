// vorkan-cli: the readability test without a window.

#include "app/cli_host.h"
#include "app/cli_outputs.h"
#include "app/cli_texts.h"
#include "app/status_line.h"
#include "app/surface_cli.h"
#include "common/encoding.h"
#include "common/message_port.h"
#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "engine/findings_json.h"
#include "engine/report.h"
#include "engine/verification_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/input_file.h"
#include "platform/key_value_store.h"
#include "platform/standard_streams.h"
#include "platform/user_dirs.h"
#include "platform/watched_child.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace texts = app::texts;

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
    std::optional<std::string> report;
    std::optional<std::string> json; // "-": standard output
    double slow = 1.0;
    bool map = false;
    std::optional<std::string> drive, dir, file;
    bool drives = false;
    bool version = false;
    std::vector<std::string> verify;
    bool verifyFound = false;
    std::optional<std::string> writeManifest;
    std::string hash = "sha256";
    std::optional<std::string> device, mapfile;
    bool surface = false;
};

engine::VerifyRequest verifyRequestFrom(const Options& o)
{
    engine::VerifyRequest r;
    r.manifests = o.verify;
    r.found = o.verifyFound;
    if (o.writeManifest)
        r.write = engine::algorithmNamed(o.hash);
    return r;
}

// One line on standard error, whatever the names inside it hold.
void printMessage(const std::string& message)
{
    std::string line = common::messageLine(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// The manifest is saved before the JSON result, which tells where it went.
bool saveManifest(engine::VorkanEngine& engine, const Options& o)
{
    if (!o.writeManifest)
        return true;
    int error = engine.saveManifest(*o.writeManifest);
    if (error == 0)
        return true;
    printMessage(engine::texts::kSoucetNelzeUlozit + *o.writeManifest + ": " + std::strerror(error));
    return false;
}

void reportOutputFailure(int error)
{
    std::fprintf(stderr, "%s%s\n", texts::kOutputFailed, std::strerror(error));
}

// Names come from the file system and the mount table: on a terminal neither a control
// character nor a byte that is not UTF-8 may pass. False (with the message) when the text
// did not arrive.
bool printOut(const std::string& text)
{
    int error = platform::writeStandardOutput(common::validUtf8(text));
    if (error != 0)
        reportOutputFailure(error);
    return error == 0;
}

int listDrives(common::Pelun& pelun, const platform::DriveTable& table)
{
    // Asked side by side, each within a bound: a mount that does not answer delays the
    // list by the bound at most.
    std::vector<bool> readiness = platform::DriveTable::readyAll(table.drives());
    for (std::size_t i = 0; i < table.drives().size(); ++i) {
        const platform::Drive& d = table.drives()[i];
        std::string ready = readiness[i] ? texts::kPripravena : texts::kNeniPripravena;
        if (!printOut(common::shownName(d.entryText()) + "\t" + pelun.PS_GetdriveType(d.letter) + "\t" + ready + "\n"))
            return kReportFailed;
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

// Flushes standard output; output that did not arrive is reported once, here.
bool outputArrived()
{
    int error = platform::flushStandardOutput();
    if (error == 0)
        return true;
    reportOutputFailure(error);
    std::clearerr(stdout);
    return false;
}

// Output that did not arrive is a failure of the run, whatever else went well.
int checkedOutput(int code)
{
    return outputArrived() ? code : kReportFailed;
}

bool writeJson(const engine::VorkanEngine& engine, const Options& o)
{
    std::string doc = engine::findingsJson(engine);
    if (*o.json == "-") {
        return printOut(doc);
    }
    auto saved = engine::saveFile(*o.json, doc, app::texts::kJsonNelzeUlozit);
    if (!saved.ok)
        printMessage(saved.error);
    return saved.ok;
}

int finish(engine::VorkanEngine& engine, const Options& o)
{
    switch (engine.lastOutcome()) {
    case engine::RunOutcome::Finished: break;
    case engine::RunOutcome::Stopped: return kStopped;
    case engine::RunOutcome::Failed: return kInternal;
    default: return kRefused;
    }
    auto lines = engine::protocolLines(engine.view().result);
    // Before the report, which may be saved to the same place (/dev/stdout). Each output is
    // written whatever became of the others: one that failed must not cost the rest.
    bool written = o.json == "-" || printOut(engine::joinLines(lines, "\n"));
    if (o.report) {
        auto saved = engine::saveProtocol(*o.report, lines);
        if (!saved.ok)
            printMessage(saved.error);
        written = saved.ok && written;
    }
    if (!saveManifest(engine, o))
        written = false;
    if (o.json)
        written = writeJson(engine, o) && written;
    if (!written)
        return kReportFailed;
    return engine.view().result.ChybSezn.empty() ? kOk : kErrorsFound;
}

int runTest(const Options& o, const std::function<void(int)>& finished)
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
    engine.setVerification(verifyRequestFrom(o));
    host.onMainTick([&] { status.show(engine.view().test); });
    engine.StartBtnClick(settingsFrom(o));
    status.clear();
    int code = finish(engine, o);
    if (engine.readStillBlocked()) {
        // The thread of a read stalled in the kernel can be neither joined nor stopped:
        // leave without the orderly shut-down that would wait for it.
        code = checkedOutput(code);
        std::fflush(stderr);
        finished(code);
        std::_Exit(code);
    }
    return code;
}

int runSurfaceOf(const Options& o, int argc, char** argv)
{
    app::SurfaceCliOptions s;
    if (o.device) {
        s.device = *o.device;
    } else if (auto device = app::deviceOfDrive(*o.drive)) {
        s.device = *device;
    } else {
        return kRefused;
    }
    s.mapfile = o.mapfile;
    s.json = o.json.value_or("");
    s.slow = o.slow;
    for (int i = 0; i < argc; ++i)
        s.commandLine += (i == 0 ? "" : " ") + common::shownName(argv[i]);
    return app::runSurface(s);
}

// A number of seconds that a read may take; NaN or infinity would turn slow reads off
// unnoticed. The refusal does not repeat the value, which may be hundreds of digits long.
CLI::Validator slowSeconds()
{
    return CLI::Validator(
        [](std::string& value) -> std::string {
            char* end = nullptr;
            errno = 0;
            double seconds = std::strtod(value.c_str(), &end);
            bool valid = !value.empty() && *end == '\0' && errno == 0 && std::isfinite(seconds) && seconds >= 0;
            return valid ? std::string() : std::string(texts::kSlowRefused);
        },
        "SECONDS");
}

int parseAndRun(int argc, char** argv, const std::function<void(int)>& finished)
{
    Options o;
    CLI::App cli(texts::kDescription, "vorkan-cli");
    cli.add_flag("--quick", o.quick, "quick test: read the first 2 bytes of each file");
    cli.add_option("--report", o.report, "also save the protocol to FILE (Windows-1250, CR LF)")->type_name("FILE");
    cli.add_option("--json", o.json, app::texts::kJsonHelp)->type_name("FILE");
    cli.add_flag("--map", o.map, app::texts::kMapHelp);
    cli.add_option("--verify", o.verify, texts::kVerifyHelp)->type_name("FILE");
    cli.add_flag("--verify-found", o.verifyFound, texts::kVerifyFoundHelp);
    auto* writeManifest =
        cli.add_option("--write-manifest", o.writeManifest, texts::kWriteManifestHelp)->type_name("FILE");
    cli.add_option("--hash", o.hash, texts::kHashHelp)
        ->type_name("ALGORITHM")
        ->check(CLI::IsMember({"sha256", "sha512", "sha1", "md5"}))
        ->needs(writeManifest);
    cli.add_option("--slow", o.slow, app::texts::kSlowHelp)->type_name("SECONDS")->check(slowSeconds());
    auto* drive =
        cli.add_option("--drive", o.drive, "test a drive; the first character is its letter")->type_name("TEXT");
    auto* dir = cli.add_option("--dir", o.dir, "test a directory and its subdirectories")->type_name("PATH");
    auto* file = cli.add_option("--file", o.file, "test one file")->type_name("PATH");
    auto* drivesFlag = cli.add_flag("--drives", o.drives, "list the drives with their type and readiness");
    auto* versionFlag = cli.add_flag("--version", o.version, "print the program's name and version");
    auto* device = cli.add_option("--device", o.device, app::texts::kDeviceHelp)->type_name("PATH");
    auto* mapfile = cli.add_option("--mapfile", o.mapfile, app::texts::kMapfileHelp)->type_name("FILE");
    auto* surface = cli.add_flag("--surface", o.surface, app::texts::kSurfaceHelp);
    surface->needs(drive);
    mapfile->excludes(dir, file, drivesFlag, versionFlag);
    device->excludes(drive, dir, file, drivesFlag, versionFlag);
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
    if (o.device || o.surface)
        return runSurfaceOf(o, argc, argv);
    if (o.mapfile) {
        std::fputs(texts::kMapfileNeedsDevice, stderr);
        return kRefused;
    }
    if (!o.drives && !o.drive && !o.dir && !o.file) {
        std::fputs(texts::kObjectRequired, stderr);
        std::fputs(cli.help().c_str(), stderr);
        return kRefused;
    }
    if (auto refusal = app::refusedOutputs({o.report, o.json, o.file})) {
        printMessage(*refusal);
        return kRefused;
    }
    if (o.quick && (!o.verify.empty() || o.verifyFound || o.writeManifest)) {
        std::fputs(texts::kManifestsNeedComplete, stderr);
        return kRefused;
    }
    return runTest(o, finished);
}

} // namespace

// How long a stop may take before the shell gets its prompt back regardless.
constexpr int kStopGraceMs = 700;

int main(int argc, char** argv)
{
    platform::reserveStandardDescriptors();
    // The test runs in a child; this process only answers Ctrl+C and SIGTERM, so that a
    // thread stuck in the kernel never keeps the user waiting. Its signals are set up before
    // anything that could stall.
    return platform::runInWatchedChild(
        [&](const std::function<void(int)>& finished) {
            platform::reportBrokenPipesAsErrors();
            return checkedOutput(parseAndRun(argc, argv, finished));
        },
        kStopped, kStopGraceMs);
}
