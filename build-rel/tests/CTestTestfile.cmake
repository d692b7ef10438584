# CMake generated Testfile for 
# Source directory: /work/wt20/tests
# Build directory: /work/wt20/build-rel/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/wt20/build-rel/tests/platform_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/frame_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/store_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/member_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/mainwin_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/print_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/online_tests[1]_include.cmake")
include("/work/wt20/build-rel/tests/server_tests[1]_include.cmake")
