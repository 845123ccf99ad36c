#pragma once
// Results of the conversion dialogs, returned by QDialog::exec(). Zero stays "no result" so a
// dialog closed without one of our buttons is never mistaken for a choice.

namespace kompa {

enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrIgnore = 5,
    // The result dialog's three choices.
    mrSave = 100,
    mrContinue = 101,
    mrDiscard = 102,
};

} // namespace kompa
