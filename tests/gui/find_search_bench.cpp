// The search window against the bundled dictionaries: one search from the edit box's text to
// the list box painted again, for a code, an address, and an address that falls back to the
// whole-file search.

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <benchmark/benchmark.h>

#include "app/main_form.h"
#include "find/find_form.h"
#include "ui/error_display.h"

namespace {

void SearchAndRedraw(benchmark::State& state, const QString& text)
{
    FindForm->Edit1->setText(text);
    for (auto _ : state) {
        FindForm->SpeedButton1Click();
        FindForm->ListBox1->repaint();
    }
    state.counters["lines"] = FindForm->ListBox1->count();
}

void BM_CodeSearch(benchmark::State& state)
{
    SearchAndRedraw(state, QStringLiteral("1000001"));
}
void BM_AddressSearch(benchmark::State& state)
{
    SearchAndRedraw(state, QStringLiteral("東京都千代田区丸の内"));
}
void BM_WholeFileFallback(benchmark::State& state)
{
    SearchAndRedraw(state, QStringLiteral("ヶ丘"));
}
BENCHMARK(BM_CodeSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFileFallback)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kompa::ui::TApplication application(argc, argv);
    new TMainForm;
    MainForm->DictDir = KOMPA_BIN_DIR "/";
    MainForm->KF2Click();
    MainForm->show();
    if (!QTest::qWaitForWindowExposed(MainForm) || !MainForm->PostCode1.IsOpen())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete MainForm;
    return 0;
}
