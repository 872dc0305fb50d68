#include "engine/statistics.h"

#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>

namespace engine {

namespace {

std::int32_t clampToInt32(std::int64_t v)
{
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

std::string kbPerSecond(std::int64_t kb)
{
    return std::to_string(kb) + texts::kKBs;
}

} // namespace

std::int32_t roundAsFormatted(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", value);
    return clampToInt32(std::strtoll(text, nullptr, 10));
}

void VorkanEngine::MainTimerTimer()
{
    try {
        if (scan_)
            pullScanProgress();
        std::int64_t now = clock_.localSeconds();
        run_.DobaTrv = clampToInt32(now - run_.CasStart);
        if (run_.DobaTrv < 0 && !timeErrorOpen_) {
            // Ticks go on while the message is open; they must not stack messages on it.
            timeErrorOpen_ = true;
            pelun_.PS_InternalError(texts::kChybaCasuCislo, texts::kChybneOdecteniCasu);
            timeErrorOpen_ = false;
        }
        view_.test.DobaTrvL = common::PS_FormatTime(run_.DobaTrv);
        if (run_.FazeCteni) {
            run_.DobaCteni = clampToInt32(now - run_.CasStartCteni);
            refreshReadSpeeds();
            addSpeedSample();
        }
        refreshEstimate();
        run_.PrectenoTik = 0;
        yield(YieldPoint::TimerTick);
    } catch (const std::exception& e) {
        // Ends the run at its next check; the run reports it.
        failure_ = e.what();
        run_.Bezi = false;
        run_.Preruseno = true;
    }
}

void VorkanEngine::refreshReadSpeeds()
{
    TestPageView& t = view_.test;
    if (quick_) {
        double r = shareDone();
        t.Prubeh.set(roundAsFormatted(r));
        char percent[64];
        std::snprintf(percent, sizeof percent, "%1.0f", r);
        setTitle(std::string(texts::kHotovo) + percent + texts::kHotovoSuffix + texts::kAppTitle);
        return;
    }
    t.Prubeh.set(overallGauge());
    setTitle(std::string(texts::kHotovo) + std::to_string(t.Prubeh.value()) + texts::kHotovoSuffix + texts::kAppTitle);
    std::int64_t arrived = tally_->total();
    run_.AktRych = arrived - tickBase_;
    tickBase_ = arrived;
    t.AktRychL = kbPerSecond(run_.AktRych / 1024);
    if (run_.AktRych > run_.MaxRych) {
        run_.MaxRych = run_.AktRych;
        t.MaxRychL = kbPerSecond(run_.MaxRych / 1024);
    }
    // Within the first second of reading (or with the clock set back) there is no time to
    // divide by: the average keeps what it showed.
    if (run_.DobaCteni > 0) {
        run_.PrumRych = clampToInt32((arrived / run_.DobaCteni) / 1024);
        t.PrumRychL = kbPerSecond(run_.PrumRych);
    }
}

// One sample for every second of reading: the seconds without a tick (a pause, a question,
// the process stopped) read nothing and are drawn so.
void VorkanEngine::addSpeedSample()
{
    constexpr std::int32_t kLongestGap = 7 * 86400; // a clock set far ahead is not filled in
    std::int32_t now = run_.DobaCteni;
    if (now - lastSampleSecond_ <= kLongestGap) {
        for (std::int32_t s = lastSampleSecond_ + 1; s < now; ++s)
            findings_.speed.add(s, 0);
    }
    findings_.speed.add(now, static_cast<double>(run_.AktRych));
    lastSampleSecond_ = std::max(lastSampleSecond_, now);
}

void VorkanEngine::refreshEstimate()
{
    double r = shareDone();
    if (r == 0)
        return;
    run_.DobaCelk = roundAsFormatted(run_.DobaCteni / r * 100 + (run_.DobaTrv - run_.DobaCteni));
    view_.test.DobaCelkL = common::PS_FormatTime(run_.DobaCelk);
    run_.DobaZbyv = clampToInt32(static_cast<std::int64_t>(run_.DobaCelk) - run_.DobaTrv);
    view_.test.DobaZbyvL = common::PS_FormatTime(run_.DobaZbyv);
}

double VorkanEngine::shareDone() const
{
    double divisor = quick_ ? static_cast<double>(run_.PocetSoub) / 100 : static_cast<double>(run_.VelCelk) / 100;
    if (divisor == 0)
        return 0;
    double done = quick_ ? static_cast<double>(run_.TestovanoSoub) : static_cast<double>(run_.Zpracovano);
    return done / divisor;
}

int VorkanEngine::overallGauge() const
{
    std::int64_t value = 0;
    if (run_.VelCelk >= 100)
        value = run_.Zpracovano / (run_.VelCelk / 100);
    else if (run_.VelCelk > 0) // too small for whole hundredths: the exact share
        value = run_.Zpracovano * 100 / run_.VelCelk;
    else if (run_.PocetSoub > 0) // only empty files: the share of files done
        value = run_.TestovanoSoub * 100 / run_.PocetSoub;
    Gauge g;
    g.set(value);
    return g.value();
}

void VorkanEngine::SoubTimerTimer()
{
    if (scan_)
        pullScanProgress();
    if (run_.VelAktSoub != 0) {
        view_.test.PrubehSoub.set(
            roundAsFormatted(static_cast<double>(run_.PrectenoAktSoub) / (static_cast<double>(run_.VelAktSoub) / 100)));
        host_.viewChanged();
    }
}

} // namespace engine
