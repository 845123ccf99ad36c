#pragma once
// The application's error display. An exception that ends an action is shown once, here, in a
// message box titled "KOMPA" with the error icon and the message followed by "."; the program
// then goes on. Every handler runs through Guarded (the connections use Guard), and
// TApplication::notify catches whatever still reaches the event loop.

#include <QApplication>
#include <QString>

#include <functional>
#include <utility>

namespace kompa::ui {

inline constexpr char kAppTitle[] = "KOMPA";

// Receives the text the box would show (message and "."). Tests install one to capture it
// instead of a modal box; an empty sink restores the box.
using ErrorSink = std::function<void(const QString& text)>;
ErrorSink SetErrorSink(ErrorSink sink);

// Shows the exception being handled; call only inside a catch block.
void ShowCurrentException() noexcept;

template <class F> void Guarded(F&& action) noexcept
{
    try {
        std::forward<F>(action)();
    } catch (...) {
        ShowCurrentException();
    }
}

// A slot that runs action through Guarded; signal arguments are dropped.
template <class F> auto Guard(F action)
{
    return [action = std::move(action)]() mutable { Guarded(action); };
}

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kompa::ui
