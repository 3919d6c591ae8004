// An alarm reached by pointer or by name; the placeholder alarm when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class Alarm;

class QEL_API AlarmPTR : public NamedHandle<Alarm, AlarmPTR> {
public:
    using NamedHandle::NamedHandle;
    AlarmPTR& operator=(Alarm* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A default alarm: no shapes, so it never fires; calls through it are harmless.
    static Alarm* dummyAlarmPtr;
    static Alarm* Placeholder() { return dummyAlarmPtr; }
};
