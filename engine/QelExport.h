// The one export macro: marks what a game program may use from libQelEngine.so,
// which is otherwise built with hidden visibility.
#pragma once

#define QEL_API __attribute__((visibility("default")))
