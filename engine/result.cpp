#include "engine/engine_texts.h"
#include "engine/report.h"
#include "engine/report_texts.h"
#include "engine/vorkan_engine.h"

namespace engine {

void VorkanEngine::showResult()
{
    ResultView& r = view_.result;
    std::size_t errors = r.ChybSezn.size();
    r.PocetchybL = texts::kPocetChyb + std::to_string(errors);
    r.PocetchybRed = errors != 0;
    auto lines = reportLines(view_.test, run_, errors);
    r.VyslTestu.insert(r.VyslTestu.end(), lines.begin(), lines.end());
    setTitle(texts::kAppTitle);
    showPage(Page::VysledekTestu);
    host_.beep();
}

} // namespace engine
