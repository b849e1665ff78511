// Every fuzz target, one line each: VRIM_FUZZ_TARGET(function, replay rounds, largest
// replay input in bytes). A line here makes the libFuzzer binary fuzz_<function>, its
// run in CI (with the seeds in fuzz/corpus/<function>/) and its random replay in the
// test suite; the function itself goes into FuzzTargets.cpp.
VRIM_FUZZ_TARGET(HdlcReceiverInput, 3000, 600)     // the serial link's frame receiver: bytes off the line
VRIM_FUZZ_TARGET(DeviceRecordsInput, 1500, 300)    // device records into a file, trigger armed
VRIM_FUZZ_TARGET(PatternTextInput, 3000, 900)      // a pattern text typed by the user
VRIM_FUZZ_TARGET(AcquisitionFileInput, 300, 600)   // a file opened for the view, every screen decoded as MDB
VRIM_FUZZ_TARGET(BootLoaderInput, 2000, 900)       // a boot loader's checksum reply and firmware file lines
VRIM_FUZZ_TARGET(CommentBlockInput, 500, 400)      // a file's comment block read and written back
