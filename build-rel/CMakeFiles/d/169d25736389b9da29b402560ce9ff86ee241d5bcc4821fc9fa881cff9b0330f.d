server/qentara_pages_resources_1_autogen/timestamp: \
  /usr/lib/x86_64-linux-gnu/cmake/Qt6Core/Qt6CoreConfigureFileTemplate.in \
  /work/wt20/server/CMakeLists.txt \
  /usr/bin/cmake
