// The one source of ulv_gtest_pch, the target that precompiles
// gtest/gtest.h for every test suite (tests/CMakeLists.txt). It holds no
// code: the target exists for its precompiled header.
