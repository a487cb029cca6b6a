// The application's GUI thread: what one live result costs it (quantise,
// render the changed rows, compose both views) through a three-minute tune,
// with the heap beside it; and the note-to-screen latency of the real main
// window recording a tune from the file-backed input at real-time pace.

#include "GeneralSettings.h"
#include "LiveTune.h"
#include "LiveViews.h"
#include "MainWindow.h"
#include "RecordingTranscriber.h"
#include "RowsView.h"
#include "ScratchHome.h"
#include "TranscriptionSession.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Every result the processing thread would send while a tune is recorded.
std::vector<TranscriptionSession::Result> liveResults(float seconds)
{
    const std::vector<short> audio = liveTune::render(liveTune::tune(seconds, 11));
    const TranscriptionOptions options;
    TranscriptionSession session;
    session.setSettings({.filterCorner_Hz = options.filterCorner_Hz, .snacPeakThreshold = options.snacPeakThreshold,
                         .transcriptionInterval_s = options.transcriptionInterval_s, .secondLook = false});
    session.setReference(liveTune::chanter());
    session.reset();
    std::vector<TranscriptionSession::Result> results;
    for (std::size_t start = 0; start < audio.size(); start += 2048) {
        if (session.feed(audio.data() + start, std::min<std::size_t>(2048, audio.size() - start)))
            results.push_back(session.result());
    }
    return results;
}

void BM_LiveResultOnTheGuiThread(benchmark::State& state)
{
    const std::vector<TranscriptionSession::Result> results = liveResults(179.0f);
    const TuneDetails details{"Benchmark Tune", "March", "Vantor"};
    const QPixmap picture(400, 200);
    for (auto _ : state) {
        const double heapBefore_MB = liveTune::heapInUse_MB();
        LiveViews views;
        RowsView scoreView;
        RowsView timingView;
        QPixmap viewport(1280, 700);
        double total_ms = 0.0;
        double worst_ms = 0.0;
        double worstLastMinute_ms = 0.0;
        double update_ms = 0.0;
        std::vector<int> marks_s{10, 60, 179};
        for (const TranscriptionSession::Result& result : results) {
            QElapsedTimer clock;
            clock.start();
            views.update(result.melody, result.gracing, ScoreSettings(), 5.0f, true, true);
            update_ms += clock.nsecsElapsed() * 1e-6;
            // As the window shows them: the parts handed to the views, and
            // the visible part of each drawn (a 1280 x 700 viewport at the
            // bottom, where a recording scrolls to).
            scoreView.setContent(views.scoreHeader(details), views.scaledScoreRows(), picture);
            timingView.setContent(views.timingHeader(details), views.scaledTimingRows(), picture);
            for (RowsView* view : {&scoreView, &timingView}) {
                const QRect visible(0, std::max(0, view->height() - 700), 1280, 700);
                view->render(&viewport, QPoint(), QRegion(visible));
            }
            const double ms = clock.nsecsElapsed() * 1e-6;
            total_ms += ms;
            worst_ms = std::max(worst_ms, ms);
            if (result.analysed_s > 119.0f)
                worstLastMinute_ms = std::max(worstLastMinute_ms, ms);
            if (!marks_s.empty() && result.analysed_s >= marks_s.front() - 0.5f) {
                state.counters["heap_MB_at_" + std::to_string(marks_s.front()) + "s"] =
                    liveTune::heapInUse_MB() - heapBefore_MB;
                marks_s.erase(marks_s.begin());
            }
        }
        state.counters["results"] = static_cast<double>(results.size());
        state.counters["mean_update_ms"] = update_ms / static_cast<double>(results.size());
        state.counters["mean_ms"] = total_ms / static_cast<double>(results.size());
        state.counters["worst_ms"] = worst_ms;
        state.counters["worst_ms_last_minute"] = worstLastMinute_ms;
    }
}
BENCHMARK(BM_LiveResultOnTheGuiThread)->Unit(benchmark::kMillisecond)->Iterations(1);

// The real window records a 20 s tune played in at real-time pace: for each
// note, the time from its end in the audio to the first result shown that
// holds it; at the default score refresh rate of 2 per second and at 4.
void BM_NoteToScreenLatency(benchmark::State& state)
{
    liveTune::PlayedTune played(11);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, played.folder());
    // A calibrated chanter: transcription starts with the first note; and
    // no count-in, so that the tune plays into the recording from Record.
    QSettings settings;
    saveCalibratedTuning(settings, liveTune::chanter());
    settings.setValue("countInBars", 0);
    settings.setValue("scoreRefreshRate_Hz", static_cast<double>(state.range(0)));
    settings.sync();
    for (auto _ : state) {
        MainWindow window(played.input());
        window.show();
        QEventLoop ready;
        QObject::connect(&window, &MainWindow::audioReady, &ready, &QEventLoop::quit);
        ready.exec();
        QObject::connect(&window, &MainWindow::resultShown, [&](float) { played.observe(window.lastMelody()); });
        // The audio clock starts with Record (the file input plays from its start).
        QTimer::singleShot(300, [&] {
            window.findChild<QAction*>("recordAction")->trigger();
            played.start();
        });
        played.playOut(2000);
        window.findChild<QAction*>("stopAction")->trigger();
    }
    played.report(state);
}
BENCHMARK(BM_NoteToScreenLatency)->ArgName("refresh_per_s")->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    const ScratchHome home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Norla Technology");
    QCoreApplication::setApplicationName("Vantor");
    QStandardPaths::setTestModeEnabled(true);
    return liveTune::runBenchmarks(argc, argv);
}
