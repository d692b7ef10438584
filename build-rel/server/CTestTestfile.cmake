# CMake generated Testfile for 
# Source directory: /work/wt20/server
# Build directory: /work/wt20/build-rel/server
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
