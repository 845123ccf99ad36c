#include "app/command_line.h"

#include <QTimer>

#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "ui/error_display.h"
#include "ui/ui_text.h"

namespace kompa::ui {

void OpenFileFromCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return;
    // The dialog gives a full name; so does this, for the status panel and the ".bak" name.
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(argv[1], error);
    const std::string fileName = error ? std::string(argv[1]) : path.lexically_normal().string();
    QTimer::singleShot(0, MainForm, [fileName] {
        Guarded([&] {
            if (!ConvForm)
                MainForm->KC1Click();
            ConvForm->OpenCsvFile(FromFileName(fileName));
        });
    });
}

} // namespace kompa::ui
