#include "production/ui/RAWview.h"
#include "tests/ui/TestApp.h"

#include <QImage>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

// A box as twelve outward-facing triangles.
TriangleList Box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    const float c[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                           {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    const int faces[6][4] = {{4, 5, 6, 7}, {1, 0, 3, 2}, {0, 4, 7, 3}, {5, 1, 2, 6}, {7, 6, 2, 3}, {0, 1, 5, 4}};
    TriangleList list;
    auto tri = [&](int a, int b, int d) {
        list.push_back({c[a][0], c[a][1], c[a][2], c[b][0], c[b][1], c[b][2], c[d][0], c[d][1], c[d][2]});
    };
    for (const auto& f : faces) {
        tri(f[0], f[1], f[2]);
        tri(f[0], f[2], f[3]);
    }
    return list;
}

}  // namespace

TEST(RawView, ABoxOffTheOriginIsDrawnLitInTheMiddleOfTheView)
{
    App();
    TRAWview view;
    view.resize(200, 200);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, Qt::black);
    view.setPalette(palette);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(view.isValid()) << "no OpenGL context";

    const TriangleList box = Box(100, 200, 0, 140, 240, 40);
    view.LadujListeRAW(box, 100, 200, 0, 140, 240, 40);
    // Each reset sets the projection again on the same context.
    view.ResetujPrzeksztalcenia();
    view.DostosujDoRozmiaruOkna();
    const QImage image = view.grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const double ratio = image.width() / 200.0;
    auto at = [&](int x, int y) { return QColor(image.pixel(int(x * ratio), int(y * ratio))); };

    // The front face, lit by the directional light at (-8, 8, 16): about 87 %
    // of the red, where unlit it would be all of it.
    const QColor middle = at(100, 100);
    EXPECT_GT(middle.red(), 200);
    EXPECT_LT(middle.red(), 240);
    EXPECT_LT(middle.green() + middle.blue(), 10);
    // The box fills about half the view, centred.
    EXPECT_EQ(at(60, 100), middle);
    EXPECT_EQ(at(140, 100), middle);
    EXPECT_EQ(at(100, 60), middle);
    EXPECT_EQ(at(100, 140), middle);
    for (const QColor corner : {at(2, 2), at(197, 2), at(2, 197), at(197, 197)})
        EXPECT_EQ(corner, QColor(Qt::black)) << "corners show the background";

    // The light stays put while the model turns: drawn turned, then reset, the
    // front face is lit as before.
    view.Nawigacja(1, 90, 0);
    view.grabFramebuffer();
    view.ResetujPrzeksztalcenia();
    EXPECT_EQ(QColor(view.grabFramebuffer().pixel(int(100 * ratio), int(100 * ratio))), middle);
}

TEST(RawView, TheWheelZoomsUnlessTheViewIsLocked)
{
    App();
    TRAWview view;
    view.resize(100, 100);
    const double before = view.Scale;
    auto wheel = [&] {
        QWheelEvent event(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    };
    auto mouse = [&](QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers keys, QPointF at) {
        QMouseEvent event(type, at, view.mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::RightButton), keys);
        QApplication::sendEvent(&view, &event);
    };
    EXPECT_TRUE(wheel());
    EXPECT_NEAR(view.Scale - before, 0.00096, 1e-12);
    view.Locked = true;
    wheel();
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::NoModifier, {10, 10});
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoModifier, {40, 40});
    EXPECT_NEAR(view.Scale - before, 0.00096, 1e-12);
    EXPECT_EQ(view.RotY, 0);
    view.Locked = false;
    // The right button turns; with Alt held only about the horizontal axis.
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::NoModifier, {10, 10});
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::AltModifier, {30, 14});
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoModifier, {30, 14});
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoModifier, {90, 90});  // after the release
    EXPECT_EQ(view.RotY, 0);
    EXPECT_DOUBLE_EQ(view.RotX, 2);
    EXPECT_NEAR(view.Scale - before, 0.00096, 1e-12);
}
