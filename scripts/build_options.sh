# The options of the normal build in build/, shared by scripts/start.sh and scripts/test.sh so that
# neither rebuilds what the other built. Sourced, not run.
# Line tables are all the test builds need of the debug information (stack traces of failures);
# the package strips it anyway.
# shellcheck disable=SC2034  # used by the scripts that source this file
build_options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRABEL_WERROR=ON -DQUIRABEL_UNITY=ON
  -DQUIRABEL_PCH=ON -DQUIRABEL_LLD=ON -DQUIRABEL_TESTS_OG=ON
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
