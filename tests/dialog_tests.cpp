// The card test dialog and dialog centring.
#include <gtest/gtest.h>
