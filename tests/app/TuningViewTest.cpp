// The tuning dock of the real main window, offscreen: a result with its
// tuning and drones shown as a piper's tuning meter, notes not played shown
// as not heard, and the dock hidden from the View menu staying hidden at
// the next start. Screenshots with drones and without go to the build tree.

#include "MainWindowFixture.h"
#include "TuningView.h"

#include <QDockWidget>

#include <optional>

namespace {

using TuningViewTest = MainWindowFixture;

struct Shown {
    const char* key; // a row's object names end in it
    const char* cents;
    std::optional<float> needle_cents;
    const char* frequency;
};

TEST_F(TuningViewTest, ShowsEachNoteAndDroneAgainstLowAAndWhatWasNotHeardAsNotHeard)
{
    open(kExample, 1.0);
    auto* dock = find<QDockWidget>("tuningDock");
    auto* show = find<QAction>("showTuningAction");
    EXPECT_TRUE(dock->isVisible());
    EXPECT_TRUE(show->isChecked());
    auto text = [&](const QString& name) { return find<QLabel>(name.toUtf8().constData())->text(); };
    auto expectRows = [&](const char* prefix, std::initializer_list<Shown> rows) {
        for (const Shown& row : rows) {
            const QString key = QString(row.key);
            EXPECT_EQ(text(prefix + QString("Cents_") + key), row.cents) << row.key;
            EXPECT_EQ(text(prefix + QString("Hz_") + key), row.frequency) << row.key;
            const auto* meter = find<CentsMeter>((prefix + QString("Meter_") + key).toUtf8().constData());
            ASSERT_EQ(meter->cents().has_value(), row.needle_cents.has_value()) << row.key;
            if (row.needle_cents) {
                EXPECT_NEAR(*meter->cents(), *row.needle_cents, 0.05f) << row.key;
            }
        }
    };
    EXPECT_EQ(text("tuningLowA"), "Nothing played yet");
    expectRows("tuning", {{"LA", "not heard", std::nullopt, ""}, {"HA", "not heard", std::nullopt, ""}});

    // A sharp D, a flat High G, B on the scale; F and the rest never played.
    PipeTuning tuning;
    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.0f},
                                                    {PipeTuning::D, 645.0f},
                                                    {PipeTuning::HighG, 830.0f}});
    NoteMap melody;
    for (PipeNoteName name : {LA, B, D, HG, D})
        melody.emplace(static_cast<float>(melody.size()), PipeNote(name, static_cast<float>(melody.size()), 1.0f));
    DroneSet drones;
    drones.drones = {{DroneSet::Drone::Kind::Bass, 119.93f, -21.0f},
                     {DroneSet::Drone::Kind::Tenor, 240.12f, -18.0f},
                     {DroneSet::Drone::Kind::Tenor, 239.70f, -18.5f}};
    drones.tenorBeat_Hz = 0.42f;
    window->onTranscriptionResult(5.0f, melody, NoteMap(), tuning, drones, false);
    EXPECT_EQ(text("tuningLowA"), "Low A as played: 480.0 Hz");
    expectRows("tuning", {{"LA", "0.0", 0.0f, "480.0 Hz"},
                          {"B", "0.0", 0.0f, "540.0 Hz"},
                          {"D", "+13.5", 13.47f, "645.0 Hz"},
                          {"HG", "-20.7", -20.73f, "830.0 Hz"},
                          {"F", "not heard", std::nullopt, ""},
                          {"LG", "not heard", std::nullopt, ""}});
    expectRows("drone", {{"0", "-1.0", -1.01f, "119.93 Hz"},
                         {"1", "+0.9", 0.87f, "240.12 Hz"},
                         {"2", "-2.2", -2.16f, "239.70 Hz"}});
    EXPECT_EQ(text("droneName_0"), "Bass");
    EXPECT_EQ(text("droneName_2"), "Tenor 2");
    EXPECT_TRUE(find<QLabel>("tuningBeat")->isVisible());
    EXPECT_EQ(text("tuningBeat"), "The tenors beat 0.42 times a second");
    EXPECT_FALSE(find<QLabel>("tuningDronesMessage")->isVisible());
    saveShot(dock->grab().toImage(), "tuning_drones");
    // The window as large as it opens first on a wide screen.
    window->resize(1660, 860);
    QTest::qWait(50);
    screenshot("tuning_window");

    // The chanter alone: no drone rows, and said so.
    window->onTranscriptionResult(6.0f, melody, NoteMap(), tuning, DroneSet(), false);
    EXPECT_FALSE(find<CentsMeter>("droneMeter_0")->isVisible());
    EXPECT_FALSE(find<QLabel>("tuningBeat")->isVisible());
    EXPECT_TRUE(find<QLabel>("tuningDronesMessage")->isVisible());
    EXPECT_EQ(text("tuningDronesMessage"), "No drones heard");
    saveShot(dock->grab().toImage(), "tuning_no_drones");

    // Clear forgets the recording's tuning.
    find<QAction>("clearAction")->trigger();
    EXPECT_EQ(text("tuningLowA"), "Nothing played yet");
    expectRows("tuning", {{"D", "not heard", std::nullopt, ""}});

    // Hidden from the View menu, it stays hidden at the next start.
    show->trigger();
    EXPECT_FALSE(dock->isVisible());
    window.reset();
    open(kExample, 1.0);
    EXPECT_FALSE(find<QDockWidget>("tuningDock")->isVisible());
    EXPECT_FALSE(find<QAction>("showTuningAction")->isChecked());
    find<QAction>("showTuningAction")->trigger();
    EXPECT_TRUE(find<QDockWidget>("tuningDock")->isVisible());
}

} // namespace
