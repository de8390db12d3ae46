# The libraries the build needs, found in one place. When one is missing,
# configure stops with a single message naming it, the Debian/Ubuntu package
# and the Homebrew formula that provide it, and the tools/install-deps level
# that installs it, instead of pkg-config's or find_package's own output.
#
# The top-level CMakeLists.txt includes this file; any directory may then call
# each function, as often as it likes (the targets are global):
#
#   portprobe_require_libplist()        PkgConfig::PLIST
#   portprobe_require_gtest()           GTest::gtest, GTest::gtest_main
#   portprobe_require_gmock()           GTest::gmock, GTest::gmock_main
#   portprobe_require_benchmark()       benchmark::benchmark
#   portprobe_require_nlohmann_json()   nlohmann_json::nlohmann_json
#
# e.g. for a tool that reads JSON:
#
#   portprobe_require_nlohmann_json()
#   target_link_libraries(my-tool PRIVATE nlohmann_json::nlohmann_json)
#
# A new dependency gets a function here, built on portprobe_require_package
# (find_package) or the pkg-config lookup of portprobe_require_libplist, and
# its packages in tools/install-deps.

# Stops configuring: WHAT is missing; DEBIAN and HOMEBREW name what provides
# it; LEVEL is the tools/install-deps option that installs it (empty, --test
# or --all).
function(portprobe_missing_dependency what debian homebrew level)
  if(level)
    set(command "tools/install-deps ${level}")
  else()
    set(command "tools/install-deps")
  endif()
  message(FATAL_ERROR
    "${what} was not found. Install it with ${command}, or by hand: "
    "'apt-get install ${debian}' on Debian or Ubuntu, 'brew install ${homebrew}' with Homebrew.")
endfunction()

# find_package(PACKAGE [VERSION]) in config or module mode, made global, or
# the message above. Arguments: PACKAGE, TARGET (that it defines), WHAT,
# DEBIAN, HOMEBREW, LEVEL, and optionally VERSION.
function(portprobe_require_package)
  cmake_parse_arguments(PARSE_ARGV 0 REQUIRE "" "PACKAGE;VERSION;TARGET;WHAT;DEBIAN;HOMEBREW;LEVEL" "")
  if(TARGET ${REQUIRE_TARGET})
    return()
  endif()
  set(CMAKE_FIND_PACKAGE_TARGETS_GLOBAL ON)
  find_package(${REQUIRE_PACKAGE} ${REQUIRE_VERSION} QUIET)
  if(NOT ${REQUIRE_PACKAGE}_FOUND OR NOT TARGET ${REQUIRE_TARGET})
    portprobe_missing_dependency("${REQUIRE_WHAT}" "${REQUIRE_DEBIAN}" "${REQUIRE_HOMEBREW}"
                                 "${REQUIRE_LEVEL}")
  endif()
endfunction()

function(portprobe_require_libplist)
  if(TARGET PkgConfig::PLIST)
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(NOT PKG_CONFIG_FOUND)
    portprobe_missing_dependency("pkg-config (to find libplist)" pkg-config pkg-config "")
  endif()
  pkg_check_modules(PLIST QUIET IMPORTED_TARGET GLOBAL libplist-2.0)
  if(NOT PLIST_FOUND)
    portprobe_missing_dependency("libplist 2 (pkg-config module libplist-2.0)" libplist-dev libplist "")
  endif()
endfunction()

function(portprobe_require_gtest)
  portprobe_require_package(PACKAGE GTest TARGET GTest::gtest_main WHAT GoogleTest
                            DEBIAN libgtest-dev HOMEBREW googletest LEVEL --test)
endfunction()

# GMock comes with GoogleTest's package configuration when installed (on
# Debian it is a package of its own, libgmock-dev, that adds its targets).
function(portprobe_require_gmock)
  portprobe_require_gtest()
  if(NOT TARGET GTest::gmock_main)
    portprobe_missing_dependency(GMock libgmock-dev googletest --test)
  endif()
endfunction()

function(portprobe_require_benchmark)
  portprobe_require_package(PACKAGE benchmark TARGET benchmark::benchmark WHAT "Google Benchmark"
                            DEBIAN libbenchmark-dev HOMEBREW google-benchmark LEVEL --all)
endfunction()

function(portprobe_require_nlohmann_json)
  portprobe_require_package(PACKAGE nlohmann_json VERSION 3 TARGET nlohmann_json::nlohmann_json
                            WHAT "nlohmann-json 3" DEBIAN nlohmann-json3-dev HOMEBREW nlohmann-json)
endfunction()
