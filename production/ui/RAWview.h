#pragma once
#include "production/Model.h"
#include "production/RawViewModel.h"

#include <QOpenGLBuffer>
#include <QOpenGLWidget>
#include <vector>

// Shows the loaded triangle mesh in depth with lighting; the user turns
// (right button), zooms (wheel, middle or Ctrl+right button) and pans (left
// button) it, the owner turns it by program through Nawigacja. The properties
// and the view transform live in the plain model this class extends; the
// background is the palette's window colour.
class TRAWview : public QOpenGLWidget, public TRawViewModel {
    Q_OBJECT
public:
    explicit TRAWview(QWidget* parent = nullptr);
    ~TRAWview() override;

    // While true, the mouse does nothing and the window system's repaints keep
    // the last frame (the owner locks the viewer while the list is being
    // replaced or a series runs); only PokazScene draws anew.
    bool Locked = false;

    // Shows the list (not owned: it must outlive the viewer's use of it) with
    // the model's extents in millimetres, in a view reset to fit it.
    void LadujListeRAW(const TriangleList& list, double x0, double y0, double z0, double x1, double y1,
                       double z1);
    // Draws the scene again, locked or not: the generator turns the model
    // step by step while the operator may not touch it.
    void PokazScene();
    // Projection, lights and material set again, the view reset, then drawn.
    void ResetujPrzeksztalcenia();
    // Projection set again after a size change; the owner calls PokazScene next.
    void DostosujDoRozmiaruOkna();
    // Turn and pan cleared, scale and centre fitted to the model and the client area.
    void ResetView();

    const TriangleList* Triangles() const { return m_triangles; }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool SetupContext();
    void SetupProjection();
    void Lights();
    void Material();
    void DrawAxes();
    void UploadMesh();
    void ReleaseMesh();

    const TriangleList* m_triangles = nullptr;
    bool m_meshStale = false;  // the list changed since the last upload
    bool m_sceneAsked = false;  // PokazScene asked for a frame not yet drawn
    // One vertex array per model: normal and position of every corner,
    // interleaved; in a buffer of the context, or in memory without one.
    QOpenGLBuffer m_buffer{QOpenGLBuffer::VertexBuffer};
    std::vector<float> m_clientVertices;
    int m_vertexCount = 0;
};
