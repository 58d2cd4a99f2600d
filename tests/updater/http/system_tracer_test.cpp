#include <gtest/gtest.h>

#include <string>

#include "http/system_tracer.h"
#include "trace_capture.h"

namespace {

TEST(SystemTracer, AppendsEachEntryAsItsBytesOnlyWhenEnabledInFileMode) {
  {
    TTraceCapture disabled(false);
    Trace("not written");
    EXPECT_EQ(disabled.Appended(), "");
  }
  {
    TTraceCapture capture;
    GetSystemTracer().SetMode(TRACE_MODE_NONE);
    Trace("not written either");
    GetSystemTracer().SetMode(TRACE_MODE_FILE);
    Trace("abc");
    Trace(std::string("x\0y\n", 4));
    EXPECT_EQ(capture.Appended(), std::string("abcx\0y\n", 7));
  }
}

TEST(SystemTracer, PutsEventDataOnALineOfItsOwnAsHexWhenBinary) {
  const uint8_t bytes[] = {0x01, 0xAB};
  EXPECT_EQ(TSystemTracer::FormatEntry(T_LE_Sent(bytes, 2)), ">\n01AB\n");
  EXPECT_EQ(TSystemTracer::FormatEntry(T_LE_Connected("10.0.0.5", 0)), "Connected\n10.0.0.5");

  TTraceCapture capture;
  GetSystemTracer().Log(T_LE_Received(bytes, 2));
  EXPECT_EQ(capture.Appended(), "<\n01AB\n");
}

}  // namespace
