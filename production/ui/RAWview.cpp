#include "production/ui/RAWview.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QWheelEvent>
#include <GL/glu.h>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int kFloatsPerVertex = 6;  // normal, then position

TViewKeys KeysOf(Qt::KeyboardModifiers m)
{
    return {m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier), m.testFlag(Qt::ShiftModifier)};
}

void AppendCorner(std::vector<float>& out, const float n[3], float x, float y, float z)
{
    out.insert(out.end(), {n[0], n[1], n[2], x, y, z});
}

// Every corner with its triangle's normal (p2 - p1) x (p3 - p1); the length
// is left as it is, the context normalises.
std::vector<float> BuildVertexArray(const TriangleList& list)
{
    std::vector<float> out;
    out.reserve(list.size() * 3 * kFloatsPerVertex);
    for (const TRawTriangle& t : list) {
        const float ax = t.x2 - t.x1, ay = t.y2 - t.y1, az = t.z2 - t.z1;
        const float bx = t.x3 - t.x1, by = t.y3 - t.y1, bz = t.z3 - t.z1;
        const float n[3] = {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
        AppendCorner(out, n, t.x1, t.y1, t.z1);
        AppendCorner(out, n, t.x2, t.y2, t.z2);
        AppendCorner(out, n, t.x3, t.y3, t.z3);
    }
    return out;
}

void ColourOf(uint32_t bgr, GLfloat out[4])
{
    out[0] = (bgr & 0xFF) / 256.0f;
    out[1] = ((bgr >> 8) & 0xFF) / 256.0f;
    out[2] = ((bgr >> 16) & 0xFF) / 256.0f;
    out[3] = 1;
}

}  // namespace

TRAWview::TRAWview(QWidget* parent) : QOpenGLWidget(parent)
{
    // The fixed pipeline with GLU: a compatibility context, double buffered,
    // 24 colour bits and a 16-bit depth buffer, nothing else.
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(16);
    format.setStencilBufferSize(0);
    setFormat(format);
    // A repaint while locked draws nothing: the frame drawn last stays.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    setFocusPolicy(Qt::StrongFocus);
}

TRAWview::~TRAWview()
{
    ReleaseMesh();
    // The base class destroys the context after this object is gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

void TRAWview::ReleaseMesh()
{
    if (!m_buffer.isCreated())
        return;
    if (SetupContext()) {
        m_buffer.destroy();
        doneCurrent();
    }
}

bool TRAWview::SetupContext()
{
    // The widget's context is made once, when it is first shown, and lives
    // with the widget; until then there is nothing to set up.
    if (!context() || !isValid())
        return false;
    makeCurrent();
    return true;
}

void TRAWview::initializeGL()
{
    // A new context (first show, or the widget moved to another window): the
    // old buffer went with the old context.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TRAWview::ReleaseMesh,
            Qt::UniqueConnection);
    m_meshStale = m_triangles != nullptr;
    SetupProjection();
}

void TRAWview::resizeGL(int, int) { SetupProjection(); }

void TRAWview::SetupProjection()
{
    glMatrixMode(GL_PROJECTION);
    // The context lives on: start from a fresh matrix every time.
    glLoadIdentity();
    gluPerspective(20, double(width()) / std::max(1, height()), 1, 100);
    glTranslatef(0, 0, -12);
    Lights();
    Material();
    const QColor panel = palette().color(QPalette::Window);
    glClearColor(panel.red() / 256.0f, panel.green() / 256.0f, panel.blue() / 256.0f, 1);
}

void TRAWview::Lights()
{
    // The light's position is taken through the model-view matrix: set it
    // with the identity, so that the light stays put when the model turns.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    const GLfloat position[] = {-8, 8, 16, 0};
    const GLfloat ambient[] = {0.1f, 0.1f, 0.1f, 1};
    const GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 1};
    const GLfloat twoSided = 0.1f;
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightModelfv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
    glEnable(GL_LIGHT0);
}

void TRAWview::Material()
{
    glEnable(GL_COLOR_MATERIAL);
    GLfloat colour[4];
    ColourOf(Model_Kolor, colour);
    const GLfloat m = static_cast<GLfloat>(Model_Material);
    const GLfloat highlight[] = {m, m, m, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, colour);
    glColor3f(colour[0], colour[1], colour[2]);
    glMaterialfv(GL_FRONT, GL_SPECULAR, highlight);
    glMaterialf(GL_FRONT, GL_SHININESS, 128);
}

void TRAWview::LadujListeRAW(const TriangleList& list, double x0, double y0, double z0, double x1, double y1,
                             double z1)
{
    m_triangles = &list;
    m_meshStale = true;
    SetExtents(x0, y0, z0, x1, y1, z1);
    if (SetupContext()) {
        SetupProjection();
        Lights();
    }
    ResetView();
    PokazScene();
}

void TRAWview::ResetujPrzeksztalcenia()
{
    if (SetupContext()) {
        SetupProjection();
        Lights();
    }
    ResetView();
    PokazScene();
}

void TRAWview::DostosujDoRozmiaruOkna()
{
    if (SetupContext())
        SetupProjection();
}

void TRAWview::ResetView() { ResetViewFor(width(), height()); }

void TRAWview::PokazScene()
{
    // The frame is drawn into the widget's buffer when the window system
    // next paints it, then shown.
    m_sceneAsked = true;
    update();
}

void TRAWview::UploadMesh()
{
    m_meshStale = false;
    std::vector<float> vertices = BuildVertexArray(*m_triangles);
    m_vertexCount = static_cast<int>(vertices.size() / kFloatsPerVertex);
    m_clientVertices.clear();
    // A buffer holds at most 2 GiB; a larger mesh is drawn from memory.
    const size_t bytes = vertices.size() * sizeof(float);
    if (bytes <= size_t(std::numeric_limits<int>::max()) && (m_buffer.isCreated() || m_buffer.create())) {
        m_buffer.bind();
        m_buffer.allocate(vertices.data(), static_cast<int>(bytes));
        m_buffer.release();
    } else {
        if (m_buffer.isCreated())
            m_buffer.destroy();
        m_clientVertices = std::move(vertices);
    }
}

void TRAWview::DrawAxes()
{
    const float w = std::round(width() / 2.0f), h = std::round(height() / 2.0f);
    glBegin(GL_LINES);
    glVertex3f(0, -h, 0), glVertex3f(0, h, 0);
    glVertex3f(-5, h - 10, 0), glVertex3f(0, h, 0);
    glVertex3f(5, h - 10, 0), glVertex3f(0, h, 0);
    glVertex3f(-w, 0, 0), glVertex3f(w, 0, 0);
    glVertex3f(w - 10, 5, 0), glVertex3f(w, 0, 0);
    glVertex3f(w - 10, -5, 0), glVertex3f(w, 0, 0);
    glVertex3f(0, 0, -h), glVertex3f(0, 0, h);
    glEnd();
}

void TRAWview::paintGL()
{
    if (Locked && !std::exchange(m_sceneAsked, false))
        return;
    m_sceneAsked = false;
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_FLAT);
    glLoadIdentity();
    // Nothing is drawn before a mesh was given.
    if (!m_triangles)
        return;

    const GLenum mode = Model_SposobKreslenia == skKontur ? GL_LINE
                        : Model_SposobKreslenia == skPunkty ? GL_POINT
                                                             : GL_FILL;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, static_cast<GLsizei>(std::lround(width() * ratio)),
               static_cast<GLsizei>(std::lround(height() * ratio)));

    glTranslatef(static_cast<GLfloat>(PanX), static_cast<GLfloat>(PanY), 0);
    glRotatef(static_cast<GLfloat>(RotY), 0, 1, 0);
    glRotatef(static_cast<GLfloat>(RotX), 1, 0, 0);
    glScalef(static_cast<GLfloat>(Scale), static_cast<GLfloat>(Scale), static_cast<GLfloat>(Scale));
    if (!ShowsMesh())
        return;
    if (UkladWsp)
        DrawAxes();
    glTranslatef(static_cast<GLfloat>(CentreX), static_cast<GLfloat>(CentreY), static_cast<GLfloat>(CentreZ));

    if (m_meshStale)
        UploadMesh();
    if (m_vertexCount == 0)
        return;
    const float* base = nullptr;
    if (m_buffer.isCreated())
        m_buffer.bind();
    else
        base = m_clientVertices.data();
    constexpr GLsizei stride = kFloatsPerVertex * sizeof(float);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, stride, base);
    glVertexPointer(3, GL_FLOAT, stride, base + 3);
    glDrawArrays(GL_TRIANGLES, 0, m_vertexCount);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    if (m_buffer.isCreated())
        m_buffer.release();
}

void TRAWview::mousePressEvent(QMouseEvent* event)
{
    if (Locked)
        return;
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    const TViewButton button = event->button() == Qt::LeftButton    ? TViewButton::Left
                               : event->button() == Qt::RightButton ? TViewButton::Right
                               : event->button() == Qt::MiddleButton ? TViewButton::Middle
                                                                     : TViewButton::Other;
    const QPoint p = event->position().toPoint();
    MouseDown(button, KeysOf(event->modifiers()), p.x(), p.y());
}

void TRAWview::mouseMoveEvent(QMouseEvent* event)
{
    if (Locked)
        return;
    const QPoint p = event->position().toPoint();
    if (MouseMove(p.x(), p.y(), KeysOf(event->modifiers())))
        PokazScene();
}

void TRAWview::mouseReleaseEvent(QMouseEvent*)
{
    if (!Locked)
        MouseUp();
}

void TRAWview::wheelEvent(QWheelEvent* event)
{
    if (Locked)
        return;
    Wheel(event->angleDelta().y());
    PokazScene();
    event->accept();
}
