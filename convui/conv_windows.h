#pragma once
// The conversion window's reference and its dialogs. The window sets ConvForm when created and
// clears it when destroyed; the frame's window command tests it to bring the window forward or
// create one. The dialogs are made once for the run and handed to each conversion window, so the
// settings outlive the window.

class TConvForm;
class TOptForm;
class TFldForm;
class TErrDlg;
class TRsltDlg;

extern TConvForm* ConvForm;

struct TConvDialogs {
    TOptForm* options = nullptr;
    TFldForm* fields = nullptr;
    TErrDlg* errors = nullptr;
    TRsltDlg* results = nullptr;
};
