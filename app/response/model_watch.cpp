#include "response/model_watch.h"

#include <algorithm>

#include "device/device_line.h"
#include "document/my758_doc.h"

namespace response {

ModelWatch::ModelWatch(CMy758Doc& doc, QObject* parent) : QObject(parent) {
    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, &ModelWatch::fire);
    look_.setInterval(kLookMs);
    connect(&look_, &QTimer::timeout, this, &ModelWatch::poke);
    connect(&device::Line(), &device::DeviceLine::modelChanged, this, &ModelWatch::poke);
    connect(&doc, &CMy758Doc::documentReset, this, &ModelWatch::poke);
}

void ModelWatch::poke() {
    if (frame_.isActive()) return;  // already due within this frame
    // At once when the last look began a frame ago or more (less the time a
    // look takes); else as soon as that much has passed.
    const double since = since_fired_.isValid() ? static_cast<double>(since_fired_.nsecsElapsed()) / 1e6 : kFrameMs;
    frame_.start(static_cast<int>(std::max(0.0, kFrameMs - work_ms_ - since)));
}

void ModelWatch::setLooking(bool on) {
    if (on)
        look_.start();
    else
        look_.stop();
}

void ModelWatch::fire() {
    since_fired_.start();
    emit changed();
}

}  // namespace response
