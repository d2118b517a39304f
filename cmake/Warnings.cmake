# Warnings are on for all of our own code and kept clean.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align
                      -Wformat=2 -Wundef -Wno-missing-field-initializers)
endif()
