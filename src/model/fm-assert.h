// Precondition checks whose logged text is given literally, so that the log
// reads the same whatever the formatter does to the expression.
#pragma once

#include <glib.h>

#define FM_RETURN_IF_FAIL(expr, text)                                                              \
    do {                                                                                           \
        if (G_UNLIKELY(!(expr))) {                                                                 \
            g_return_if_fail_warning(G_LOG_DOMAIN, __func__, text);                                \
            return;                                                                                \
        }                                                                                          \
    } while (0)

#define FM_RETURN_VAL_IF_FAIL(expr, text, val)                                                     \
    do {                                                                                           \
        if (G_UNLIKELY(!(expr))) {                                                                 \
            g_return_if_fail_warning(G_LOG_DOMAIN, __func__, text);                                \
            return (val);                                                                          \
        }                                                                                          \
    } while (0)

// Logs the failed-assertion text of an invariant without leaving.
#define FM_ASSERTION_TEXT(text) g_return_if_fail_warning(G_LOG_DOMAIN, __func__, text)
