#include "convui/conv_windows.h"

TConvForm* ConvForm = nullptr;
TOptForm* OptForm = nullptr;
TFldForm* FldForm = nullptr;
TErrDlg* ErrDlg = nullptr;
TRsltDlg* RsltDlg = nullptr;
