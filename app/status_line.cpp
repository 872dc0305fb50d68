#include "app/status_line.h"

#include "common/encoding.h"
#include "engine/view.h"
#include "platform/standard_streams.h"

#include <cstdio>

namespace app {

StatusLine::StatusLine() : enabled_(platform::standardErrorIsTerminal()) {}

void StatusLine::show(const engine::TestPageView& v)
{
    if (!enabled_)
        return;
    std::string line = v.StavL.empty() ? v.Label3 + " " + v.SoubJML : v.StavL;
    line += " | " + std::to_string(v.Prubeh.value()) + " % | uplynulo " + v.DobaTrvL + " | zbývá " + v.DobaZbyvL +
        " | " + v.AktRychL;
    // The line names the file at hand, and a name must not steer the terminal.
    line = common::validUtf8(common::shownName(line));
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void StatusLine::clear()
{
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}

} // namespace app
