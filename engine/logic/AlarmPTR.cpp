#include "logic/AlarmPTR.h"

#include "logic/Alarm.h"

// Never destroyed: handles may be used by static objects until the very end.
Alarm* AlarmPTR::dummyAlarmPtr = new Alarm();

static_assert(sizeof(AlarmPTR) == sizeof(void*));
