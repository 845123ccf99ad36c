// Linked with the program's own entry: once the frame has painted (both dictionaries opened by
// then), it prints the time since the process started and ends the message loop.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// Milliseconds since the process started, from the kernel's record of its start time.
double MillisecondsSinceStart()
{
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            startTicks = std::stoull(field);
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - startTicks / ticks) * 1000.0;
}

class FirstFramePaint : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Paint && watched->objectName() == "MainForm") {
            done_ = true;
            std::fprintf(stderr, "frame painted %.0f ms after start\n", MillisecondsSinceStart());
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool done_ = false;
};

void InstallProbe()
{
    qApp->installEventFilter(new FirstFramePaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
