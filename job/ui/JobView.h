#pragma once
#include <QTransform>
#include <QWidget>

class TJob;

// The drawing area of a job window: the job's figures fitted into the area,
// y upwards as in the drawing.
class JobView : public QWidget {
    Q_OBJECT
public:
    explicit JobView(const TJob& job, QWidget* parent = nullptr);

    // Steps to widget pixels for the current size.
    QTransform JobToView() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TJob& m_job;
};
