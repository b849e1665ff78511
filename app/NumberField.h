#pragma once

#include <cstdint>

class QLineEdit;

// The unsigned number fields of the settings pages and the trigger setup: what the
// field holds is taken only when it is such a number (parseUnsignedText). Otherwise
// the user is told "Enter a positive integer." and the cursor goes to the field,
// which keeps the text typed.
bool takeUnsigned(QLineEdit* edit, uint32_t& field);
void showUnsigned(QLineEdit* edit, uint32_t value);
