// SPDX-License-Identifier: MIT
// Moves one integer property of another object towards a target value on a timer, e.g. the
// "left" of a sliding pane. The property is reached by name through Qt's property system.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

class TAniProperty : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *Obj READ obj WRITE setObj)
    Q_PROPERTY(QObject *Component READ obj WRITE setObj)
    Q_PROPERTY(QString PropName READ propName WRITE setPropName)
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(int Step READ step WRITE setStep)
    Q_PROPERTY(int Interval READ interval WRITE setInterval)
    Q_PROPERTY(int Damper READ damper WRITE setDamper)
    Q_PROPERTY(TAniType AniType READ aniType WRITE setAniType)

public:
    enum TAniType { atLinear, atDecreasing, atNone };
    Q_ENUM(TAniType)

    explicit TAniProperty(QObject *parent = nullptr);

    // Obj and Component are two views of the same reference, cleared when the object dies.
    QObject *obj() const { return m_obj; }
    void setObj(QObject *obj) { m_obj = obj; }
    QString propName() const { return m_propName; }
    void setPropName(const QString &name) { m_propName = name; }
    int value() const { return m_value; }
    void setValue(int value) { m_value = value; }
    int step() const { return m_step; }
    void setStep(int step) { m_step = step; }
    int interval() const { return m_interval; }
    void setInterval(int ms) { m_interval = ms; }
    int damper() const { return m_damper; }
    void setDamper(int damper) { m_damper = damper; }
    TAniType aniType() const { return m_aniType; }
    void setAniType(TAniType type) { m_aniType = type; }

    bool isRunning() const { return m_timer.isActive(); }

public slots:
    // Starts moving towards Value from the property's current value.
    void Animate();

signals:
    void OnStep();
    void OnComplete();

private:
    void tick();
    // The property's index when Obj has a readable and writable integer property PropName.
    int propertyIndex() const;
    int readProperty(int index) const;
    void writeProperty(int index, int value);
    void finish();

    QPointer<QObject> m_obj;
    QString m_propName;
    int m_value = 0;
    int m_step = 10;
    int m_interval = 50;
    int m_damper = 8;
    TAniType m_aniType = atLinear;
    QTimer m_timer;
    double m_position = 0;
};
