# CMake generated Testfile for 
# Source directory: /work/wt20
# Build directory: /work/wt20/build-rel
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
subdirs("src")
subdirs("server")
subdirs("tests")
subdirs("bench")
