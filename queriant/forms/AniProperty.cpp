// SPDX-License-Identifier: MIT
#include "AniProperty.h"

#include <QMetaProperty>

#include <algorithm>
#include <cmath>

int RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0))
        rounded = floor + 1;
    return int(std::clamp(rounded, double(INT_MIN), double(INT_MAX)));
}

TAniProperty::TAniProperty(QObject *parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &TAniProperty::tick);
}

int TAniProperty::propertyIndex() const {
    if (!m_obj || m_propName.isEmpty())
        return -1;
    const QMetaObject *meta = m_obj->metaObject();
    const int index = meta->indexOfProperty(m_propName.toLatin1().constData());
    if (index < 0)
        return -1;
    const QMetaProperty property = meta->property(index);
    if (!property.isReadable() || !property.isWritable())
        return -1;
    switch (property.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return index;
    default:
        return -1;
    }
}

int TAniProperty::readProperty(int index) const {
    return m_obj->metaObject()->property(index).read(m_obj).toInt();
}

void TAniProperty::writeProperty(int index, int value) {
    m_obj->metaObject()->property(index).write(m_obj, value);
}

void TAniProperty::Animate() {
    // A step of 0 would never arrive (a decreasing animation limits every move to it).
    if (!m_obj || (m_aniType != atNone && m_step == 0))
        return;
    const int index = propertyIndex();
    if (index < 0)
        return;
    const int current = readProperty(index);
    if (current == m_value)
        return;
    m_position = current;
    m_timer.setInterval(m_interval);
    m_timer.start();
}

void TAniProperty::finish() {
    m_timer.stop();
    emit OnComplete();
}

void TAniProperty::tick() {
    if (!m_obj) {
        m_timer.stop();
        return;
    }
    const int index = propertyIndex();
    if (index < 0)
        return;
    // Negative steps and dampers count by their size, so an animation always moves towards
    // its target.
    const double step = std::abs(double(m_step));
    switch (m_aniType) {
    case atLinear: {
        int next;
        if (m_value >= m_position) {
            m_position += step;
            next = std::min(RoundHalfEven(m_position), m_value);
        } else {
            m_position -= step;
            next = std::max(RoundHalfEven(m_position), m_value);
        }
        writeProperty(index, next);
        if (next == m_value)
            finish();
        else
            emit OnStep();
        break;
    }
    case atDecreasing: {
        const int current = readProperty(index);
        if (m_damper == 0) {
            m_position = m_value;
        } else {
            const double delta = (double(m_value) - current) / std::abs(double(m_damper));
            m_position += std::clamp(delta, -step, step);
        }
        const int next = RoundHalfEven(m_position);
        writeProperty(index, next);
        emit OnStep();
        if (next == m_value)
            finish();
        break;
    }
    case atNone:
        writeProperty(index, m_value);
        finish();
        break;
    }
}
