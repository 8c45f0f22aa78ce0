// SPDX-License-Identifier: MIT
#include "AniProperty.h"

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Records every value written to its "left" property.
class Slider : public QObject {
    Q_OBJECT
    Q_PROPERTY(int left READ left WRITE setLeft)
    Q_PROPERTY(int fixed READ left)
    Q_PROPERTY(QString label READ label WRITE setLabel)

public:
    explicit Slider(int left = 0) : m_left(left) {}
    int left() const { return m_left; }
    void setLeft(int v) {
        m_left = v;
        writes.append(v);
    }
    QString label() const { return {}; }
    void setLabel(const QString &) {}
    QList<int> writes;

private:
    int m_left;
};

struct AnimationRun {
    QList<int> writes;
    int steps = 0;
    int completions = 0;
};

// Runs an animation on its real timer until it completes (or gives up after two seconds).
AnimationRun animate(TAniProperty &ani, Slider &slider) {
    QSignalSpy steps(&ani, &TAniProperty::OnStep);
    QSignalSpy completions(&ani, &TAniProperty::OnComplete);
    ani.setObj(&slider);
    ani.setPropName(QStringLiteral("left"));
    ani.setInterval(1);
    ani.Animate();
    if (ani.isRunning())
        completions.wait(2000);
    return {slider.writes, int(steps.count()), int(completions.count())};
}

TEST(AniProperty, RoundsHalvesToEven) {
    const std::vector<std::pair<double, int>> cases = {
        {0.5, 0},   {1.5, 2}, {2.5, 2}, {3.5, 4},   {-0.5, 0},
        {-1.5, -2}, {2.4, 2}, {2.6, 3}, {-2.6, -3}, {7.0, 7},
    };
    for (const auto &[value, rounded] : cases)
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

TEST(AniProperty, LinearStepsThenStopsAtTheTarget) {
    Slider up(0);
    TAniProperty ani;
    ani.setValue(25);
    const AnimationRun run = animate(ani, up);
    EXPECT_EQ(run.writes, (QList<int>{10, 20, 25}));
    EXPECT_EQ(run.steps, 2);
    EXPECT_EQ(run.completions, 1);
    EXPECT_FALSE(ani.isRunning());

    Slider down(25);
    ani.setValue(0);
    EXPECT_EQ(animate(ani, down).writes, (QList<int>{15, 5, 0}));

    // A negative step still moves towards the target.
    Slider negative(0);
    ani.setValue(25);
    ani.setStep(-10);
    EXPECT_EQ(animate(ani, negative).writes, (QList<int>{10, 20, 25}));
}

TEST(AniProperty, DecreasingSlowsDownNearTheTarget) {
    Slider slider(100);
    TAniProperty ani;
    ani.setAniType(TAniProperty::atDecreasing);
    ani.setDamper(8);
    ani.setStep(10);
    ani.setValue(300);
    const AnimationRun run = animate(ani, slider);
    const QList<int> start = {110, 120, 130, 140, 150, 160, 170, 180,
                              190, 200, 210, 220, 230, 239, 246, 253};
    ASSERT_GT(run.writes.size(), start.size());
    EXPECT_EQ(run.writes.mid(0, start.size()), start);
    EXPECT_EQ(run.writes.last(), 300);
    EXPECT_TRUE(std::is_sorted(run.writes.begin(), run.writes.end()));
    // The last moves are fractions of a pixel: some ticks leave the value where it was.
    EXPECT_GT(run.writes.count(299), 1);
    EXPECT_EQ(run.steps, run.writes.size());
    EXPECT_EQ(run.completions, 1);
}

TEST(AniProperty, DecreasingRoundsHalvesToEven) {
    Slider slider(0);
    TAniProperty ani;
    ani.setAniType(TAniProperty::atDecreasing);
    ani.setDamper(2);
    ani.setValue(3);
    // 1.5 -> 2, 2.0, 2.5 -> 2, 3.0
    EXPECT_EQ(animate(ani, slider).writes, (QList<int>{2, 2, 2, 3}));

    Slider jump(0);
    ani.setDamper(0);
    ani.setValue(77);
    const AnimationRun run = animate(ani, jump);
    EXPECT_EQ(run.writes, QList<int>{77});
    EXPECT_EQ(run.steps, 1);
    EXPECT_EQ(run.completions, 1);
}

TEST(AniProperty, NoneSetsTheTargetAtOnce) {
    Slider slider(5);
    TAniProperty ani;
    ani.setAniType(TAniProperty::atNone);
    ani.setValue(500);
    const AnimationRun run = animate(ani, slider);
    EXPECT_EQ(run.writes, QList<int>{500});
    EXPECT_EQ(run.steps, 0);
    EXPECT_EQ(run.completions, 1);
}

TEST(AniProperty, AnimateDoesNothingWithoutAUsableProperty) {
    struct Case {
        const char *name;
        const char *property;
        int step;
        int target;
        bool withObject;
    };
    const std::vector<Case> cases = {
        {"no object", "left", 10, 50, false},       {"linear with step 0", "left", 0, 50, true},
        {"unknown property", "nope", 10, 50, true}, {"read-only property", "fixed", 10, 50, true},
        {"not an integer", "label", 10, 50, true},  {"already at the target", "left", 10, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Slider slider(0);
        TAniProperty ani;
        QSignalSpy completions(&ani, &TAniProperty::OnComplete);
        if (c.withObject)
            ani.setObj(&slider);
        ani.setPropName(QString::fromLatin1(c.property));
        ani.setStep(c.step);
        ani.setValue(c.target);
        ani.Animate();
        EXPECT_FALSE(ani.isRunning());
        EXPECT_TRUE(slider.writes.isEmpty());
        EXPECT_EQ(completions.count(), 0);
    }
}

TEST(AniProperty, ForgetsADestroyedObject) {
    auto slider = std::make_unique<Slider>(0);
    TAniProperty ani;
    ani.setProperty("Component", QVariant::fromValue<QObject *>(slider.get()));
    EXPECT_EQ(ani.obj(), slider.get());
    ani.setPropName(QStringLiteral("left"));
    ani.setValue(1000);
    ani.setStep(1);
    ani.setInterval(1);
    ani.Animate();
    ASSERT_TRUE(ani.isRunning());
    slider.reset();
    EXPECT_EQ(ani.obj(), nullptr);
    QDeadlineTimer deadline(2000);
    while (ani.isRunning() && !deadline.hasExpired())
        QTest::qWait(5);
    EXPECT_FALSE(ani.isRunning());
}

TEST(AniProperty, AnimateWhileRunningRestartsFromTheCurrentValue) {
    Slider slider(0);
    TAniProperty ani;
    ani.setValue(100);
    QObject::connect(&ani, &TAniProperty::OnStep, [&] {
        if (slider.left() == 30) {
            ani.setValue(0);
            ani.Animate();
        }
    });
    const AnimationRun run = animate(ani, slider);
    EXPECT_EQ(run.writes, (QList<int>{10, 20, 30, 20, 10, 0}));
    EXPECT_EQ(run.completions, 1);
}

} // namespace

#include "ControlAniTest.moc"
