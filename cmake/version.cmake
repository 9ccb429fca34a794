# Stripewell's version, worked out in one way for the build, scripts/package and
# scripts/test-in-debian. Run as a script:
#
#   cmake -DSOURCE_DIR=DIR -P cmake/version.cmake
#       prints the version
#   cmake -DSOURCE_DIR=DIR -DOUTPUT_DIR=OUT -P cmake/version.cmake
#       writes OUT/stripewell_version.h (for C, C++ and resource scripts) and
#       OUT/version.txt, each only when its content changes, so that a build with the
#       same version builds nothing again
cmake_minimum_required(VERSION 3.20)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "version.cmake: give -DSOURCE_DIR=the checkout")
endif()
file(STRINGS "${SOURCE_DIR}/CMakeLists.txt" project_line REGEX "^project\\(Stripewell VERSION ")
if(NOT project_line MATCHES "VERSION ([0-9]+)\\.([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "version.cmake: no 'project(Stripewell VERSION X.Y.Z' in ${SOURCE_DIR}/CMakeLists.txt")
endif()
set(release "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
set(numbers "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3}")
string(REPLACE "." "\\." release_pattern "${release}")

# The release number is the one of project() in DIR/CMakeLists.txt, say 1.0.0. Then:
#   1.0.0                on the commit tagged v1.0.0
#   1.0.0-N-gHASH        N commits after that tag (git describe)
#   1.0.0-untagged-gHASH no tag v1.0.0 in the commit's history: not a release yet
#   ...-dirty            the checkout has changes that are not committed
#   1.0.0-nogit          no git, or DIR is not a git checkout: which commit is unknown
# The environment variable STRIPEWELL_VERSION, when set, is taken instead (it must begin
# with the release number); scripts/test-in-debian sets it from this machine's checkout,
# as the copy it builds in the Debian root has no .git.
set(version "")
if(DEFINED ENV{STRIPEWELL_VERSION})
    set(version "$ENV{STRIPEWELL_VERSION}")
    # It goes into file names and resource strings as it is.
    if(NOT version MATCHES "^${release_pattern}(-[0-9A-Za-z.-]+)?$")
        message(FATAL_ERROR "version.cmake: STRIPEWELL_VERSION is '${version}'; it must be ${release} or "
                            "${release}-SUFFIX (letters, digits, '.' and '-'), as this checkout is release ${release}")
    endif()
else()
    find_program(GIT git)
    set(top "")
    if(GIT)
        execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
                        OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    # Sources copied into another project's checkout are not a checkout of their own.
    file(REAL_PATH "${SOURCE_DIR}" source_real)
    if(top)
        file(REAL_PATH "${top}" top)
    endif()
    if(NOT top STREQUAL source_real)
        set(version "${release}-nogit")
    else()
        execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" describe --tags --match "v${release}" --dirty --abbrev=7
                        RESULT_VARIABLE described OUTPUT_VARIABLE description OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        if(described EQUAL 0)
            string(REGEX REPLACE "^v" "" version "${description}")
        else()
            execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" describe --always --dirty --abbrev=7
                            OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            set(version "${release}-untagged-g${hash}")
        endif()
    endif()
endif()

if(NOT OUTPUT_DIR)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${version}")
    return()
endif()

# The fourth number of the version resources: commits since the release's tag.
set(commits 0)
if(version MATCHES "^${release_pattern}-([0-9]+)-g")
    set(commits "${CMAKE_MATCH_1}")
endif()
# Windows marks a file that is not the release itself as a pre-release.
set(flags 0)
if(NOT version STREQUAL release)
    set(flags VS_FF_PRERELEASE)
endif()
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
file(CONFIGURE OUTPUT "${OUTPUT_DIR}/stripewell_version.h" @ONLY CONTENT
"// Made by cmake/version.cmake at every build; do not edit.
#define STRIPEWELL_VERSION \"@version@\"
#define STRIPEWELL_VERSION_W L\"@version@\"
#define STRIPEWELL_VERSION_NUMBERS @numbers@,@commits@
#define STRIPEWELL_VERSION_FLAGS @flags@
")
file(CONFIGURE OUTPUT "${OUTPUT_DIR}/version.txt" @ONLY CONTENT "@version@\n")
