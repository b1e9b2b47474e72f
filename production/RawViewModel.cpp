#include "production/RawViewModel.h"

#include <algorithm>
#include <cmath>

double SkalaWZakresie(double s) { return s >= 0 ? s : 0; }

void TRawViewModel::SetExtents(double x0, double y0, double z0, double x1, double y1, double z1)
{
    xmin = x0;
    ymin = y0;
    zmin = z0;
    xmax = x1;
    ymax = y1;
    zmax = z1;
}

void TRawViewModel::Nawigacja(int kind, double a, double b)
{
    switch (kind) {
    case 1:
        if (a != 0)
            RotY += a * Model_KrokObrotu;
        if (b != 0)
            RotX -= b * Model_KrokObrotu;
        break;
    case 2:
        Scale = SkalaWZakresie(Scale - b * Model_KrokSkali);
        break;
    case 3:
        PanX += a * Model_KrokPrzesuwu;
        PanY += b * Model_KrokPrzesuwu;
        break;
    default:
        break;
    }
}

void TRawViewModel::ResetViewFor(int width, int height)
{
    RotY = RotX = PanX = PanY = 0;
    const double w = width, h = height;
    // A model standing only along z (or a single point) has no x-y diagonal:
    // it is fitted by its largest extent then, by 1 when it has none at all,
    // so the scale stays finite.
    double size = std::hypot(xmax - xmin, ymax - ymin);
    if (!(size > 0))
        size = std::max({xmax - xmin, ymax - ymin, zmax - zmin});
    if (!(size > 0))
        size = 1;
    Scale = std::sqrt(std::sqrt(w * w + h * h)) / size * 0.15;
    CentreX = -(xmin + (xmax - xmin) / 2);
    CentreY = -(ymin + (ymax - ymin) / 2);
    CentreZ = TrybPracy == tpPrzegladRAWtermSeryjne ? -(zmin + (zmax - zmin) / 2) : 0;
}

void TRawViewModel::MouseDown(TViewButton button, const TViewKeys& keys, int x, int y)
{
    switch (button) {
    case TViewButton::Left:
        Panning = true;
        break;
    case TViewButton::Right:
        (keys.ctrl ? Zooming : Turning) = true;
        break;
    case TViewButton::Middle:
        Zooming = true;
        break;
    default:
        break;
    }
    LastX = x;
    LastY = y;
}

bool TRawViewModel::MouseMove(int x, int y, const TViewKeys& keys)
{
    if (!Turning && !Zooming && !Panning)
        return false;
    const double dx = x - LastX, dy = y - LastY;
    if (Turning) {
        if (!keys.alt)
            RotY += dx * Model_KrokObrotu;
        if (!keys.shift)
            RotX += dy * Model_KrokObrotu;
    }
    if (Zooming)
        Scale = SkalaWZakresie(Scale - dy * Model_KrokSkali);
    if (Panning) {
        if (!keys.ctrl)
            PanX += dx * Model_KrokPrzesuwu;
        if (!keys.shift)
            PanY -= dy * Model_KrokPrzesuwu;
    }
    LastX = x;
    LastY = y;
    return true;
}

void TRawViewModel::MouseUp() { Turning = Zooming = Panning = false; }

void TRawViewModel::Wheel(int delta)
{
    Scale = SkalaWZakresie(Scale + delta * Model_KrokSkaliRolka * Model_KrokSkali);
}
