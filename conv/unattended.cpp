#include "unattended.h"

namespace kompa {

void RunUnattended(TConversionPass& pass,
                   const std::function<void(const TSkippedRecord&)>& onSkipped)
{
    pass.SetConfirm(false);
    TStepResult step = pass.ConvertRecords();
    while (step == TStepResult::Waiting) {
        if (onSkipped)
            onSkipped({pass.Current() + 1, pass.Level(), pass.Candidates().Count(), pass.WaitKey(),
                       pass.WaitReason()});
        step = pass.Skip();
    }
}

} // namespace kompa
