#include <QCoreApplication>
#include <gtest/gtest.h>

#include "support/TestSupport.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::isolateConfigHome();
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
