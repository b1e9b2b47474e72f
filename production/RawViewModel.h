#pragma once
#include <cstdint>

// How the mesh is drawn: filled, as outlines or as points.
enum TSposobKreslenia : int32_t { skWypelnienie = 0, skKontur = 1, skPunkty = 2 };

// What the viewer shows. Only the two mesh modes draw anything here; in the
// serial one the model is centred along z as well.
enum TTrybPracy : int32_t {
    tpPrzegladRAW = 0,
    tpPrzegladNarzedzi = 1,
    tpPrzegladPlikuWy = 2,
    tpPrzegladRAWtermSeryjne = 3
};

// Mouse buttons and keys the viewer's navigation looks at.
enum class TViewButton { Left, Right, Middle, Other };
struct TViewKeys {
    bool ctrl = false, alt = false, shift = false;
};

// Scale never goes below zero: zooming out stops at a point.
double SkalaWZakresie(double s);

// The model viewer's properties and view transform, without any drawing: the
// window turns, moves and zooms through these and draws what they hold.
class TRawViewModel {
public:
    // Degrees of turn, scale change and pan per mouse pixel; extra wheel factor.
    double Model_KrokObrotu = 0.5;
    double Model_KrokSkali = 0.0001;
    double Model_KrokPrzesuwu = 0.01;
    double Model_KrokSkaliRolka = 0.08;
    TSposobKreslenia Model_SposobKreslenia = skWypelnienie;
    uint32_t Model_Kolor = 255;  // 0x00BBGGRR
    double Model_Material = 0;   // strength of the highlight
    bool UkladWsp = false;       // draw the coordinate axes
    TTrybPracy TrybPracy = tpPrzegladRAW;

    // Model extents in millimetres.
    double xmin = 0, ymin = 0, zmin = 0, xmax = 0, ymax = 0, zmax = 0;

    // View transform.
    double RotY = 0, RotX = 0, PanX = 0, PanY = 0, Scale = 1;
    double CentreX = 0, CentreY = 0, CentreZ = 0;

    // Drag modes on while a button is held, and the last mouse position.
    bool Turning = false, Zooming = false, Panning = false;
    int LastX = 0, LastY = 0;

    void SetExtents(double x0, double y0, double z0, double x1, double y1, double z1);

    // Kind 1 turns (a about the vertical axis, b about the horizontal one),
    // kind 2 zooms by b, kind 3 pans by (a, b). Nothing else; no redraw.
    void Nawigacja(int kind, double a, double b);

    // Turn and pan cleared; the scale fits the model's x-y diagonal to a client
    // area of width x height; the model's centre moved to the origin.
    void ResetViewFor(int width, int height);

    // A button pressed at (x, y) switches its drag mode on.
    void MouseDown(TViewButton button, const TViewKeys& keys, int x, int y);
    // A move while a drag mode is on changes the view; true when one was on.
    bool MouseMove(int x, int y, const TViewKeys& keys);
    void MouseUp();
    // One wheel step of delta (120 a notch).
    void Wheel(int delta);

    // Whether the mesh is drawn in the current mode.
    bool ShowsMesh() const { return TrybPracy == tpPrzegladRAW || TrybPracy == tpPrzegladRAWtermSeryjne; }
};
