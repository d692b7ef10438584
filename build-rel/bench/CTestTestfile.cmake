# CMake generated Testfile for 
# Source directory: /work/wt20/bench
# Build directory: /work/wt20/build-rel/bench
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
