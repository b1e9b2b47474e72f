#include "production/RawViewModel.h"

#include <gtest/gtest.h>
#include <cmath>

TEST(RawViewModel, NavigationByProgramTurnsZoomsAndPans)
{
    TRawViewModel v;
    v.Nawigacja(1, -20, 0);
    EXPECT_DOUBLE_EQ(v.RotY, -10);
    EXPECT_DOUBLE_EQ(v.RotX, 0);
    v.Nawigacja(1, 0, 4);
    EXPECT_DOUBLE_EQ(v.RotX, -2) << "b turns the other way about the horizontal axis";
    EXPECT_DOUBLE_EQ(v.RotY, -10);

    v.Scale = 0.3;
    v.Nawigacja(2, 0, -1000);
    EXPECT_NEAR(v.Scale, 0.4, 1e-12);
    v.Nawigacja(2, 0, 5000);
    EXPECT_EQ(v.Scale, 0) << "zooming out stops at 0";

    v.Nawigacja(3, 10, -20);
    EXPECT_NEAR(v.PanX, 0.1, 1e-12);
    EXPECT_NEAR(v.PanY, -0.2, 1e-12);
    EXPECT_EQ(SkalaWZakresie(-1e-9), 0);
    EXPECT_EQ(SkalaWZakresie(0.25), 0.25);
}

TEST(RawViewModel, MouseDragsHonourTheirKeysAndTheWheelZooms)
{
    TRawViewModel v;
    EXPECT_FALSE(v.MouseMove(50, 50, {})) << "no button, no change";

    // Right button turns; Alt keeps the vertical axis, Shift the horizontal one.
    v.MouseDown(TViewButton::Right, {}, 0, 0);
    v.MouseMove(10, 4, {.alt = true});
    EXPECT_EQ(v.RotY, 0);
    EXPECT_DOUBLE_EQ(v.RotX, 2);
    v.MouseMove(16, 10, {.shift = true});
    EXPECT_DOUBLE_EQ(v.RotY, 3);
    EXPECT_DOUBLE_EQ(v.RotX, 2);
    EXPECT_EQ(v.Scale, 1) << "turning does not zoom";
    v.MouseUp();
    EXPECT_FALSE(v.MouseMove(100, 100, {}));

    // Left button pans, y upwards; Ctrl keeps x, Shift keeps y.
    v.MouseDown(TViewButton::Left, {}, 0, 0);
    v.MouseMove(10, 20, {.ctrl = true});
    EXPECT_EQ(v.PanX, 0);
    EXPECT_NEAR(v.PanY, -0.2, 1e-12);
    v.MouseMove(30, 40, {.shift = true});
    EXPECT_NEAR(v.PanX, 0.2, 1e-12);
    EXPECT_NEAR(v.PanY, -0.2, 1e-12);
    v.MouseUp();

    // Ctrl with the right button (and the middle button) zooms, down is smaller.
    v.MouseDown(TViewButton::Right, {.ctrl = true}, 0, 0);
    v.MouseMove(0, 1000, {});
    EXPECT_NEAR(v.Scale, 0.9, 1e-12);
    EXPECT_DOUBLE_EQ(v.RotY, 3);
    v.MouseMove(0, 20000, {});
    EXPECT_EQ(v.Scale, 0);
    v.MouseUp();

    v.Scale = 1;
    v.Wheel(120);
    EXPECT_NEAR(v.Scale, 1.00096, 1e-12);
    v.Wheel(-120 * 20000);
    EXPECT_EQ(v.Scale, 0);
}

TEST(RawViewModel, ResetFitsTheDiagonalAndCentresTheModel)
{
    TRawViewModel v;
    v.RotY = v.RotX = v.PanX = v.PanY = 7;
    v.SetExtents(100, 20, -10, 130, 60, 30);
    v.ResetViewFor(300, 400);  // diagonal 500
    EXPECT_EQ(v.RotY + v.RotX + v.PanX + v.PanY, 0);
    EXPECT_NEAR(v.Scale, std::sqrt(500.0) / 50 * 0.15, 1e-12);
    EXPECT_DOUBLE_EQ(v.CentreX, -115);
    EXPECT_DOUBLE_EQ(v.CentreY, -40);
    EXPECT_EQ(v.CentreZ, 0) << "z is centred only for the serial generator";
    v.TrybPracy = tpPrzegladRAWtermSeryjne;
    v.ResetViewFor(300, 400);
    EXPECT_DOUBLE_EQ(v.CentreZ, -10);

    // No x-y extent: fitted by the largest extent, by 1 when there is none.
    v.SetExtents(5, 5, 0, 5, 5, 50);
    v.ResetViewFor(300, 400);
    EXPECT_NEAR(v.Scale, std::sqrt(500.0) / 50 * 0.15, 1e-12);
    v.SetExtents(5, 5, 5, 5, 5, 5);
    v.ResetViewFor(300, 400);
    EXPECT_NEAR(v.Scale, std::sqrt(500.0) * 0.15, 1e-12);
}
