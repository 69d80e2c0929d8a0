# Compile options shared by every kin target.

add_library(kin_compile_options INTERFACE)
target_include_directories(kin_compile_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(kin_compile_options INTERFACE -Wall -Wextra -Wpedantic)
if(KIN_WERROR)
  target_compile_options(kin_compile_options INTERFACE -Werror)
endif()

if(KIN_SANITIZE)
  # The vptr check reads the run-time type information of the objects a
  # member is called on. Hosts build their scene objects with their own
  # compilers and type information, or none: the module must call through
  # the virtual tables alone, so that check does not apply.
  set(KIN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize=vptr
                          -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${KIN_SANITIZER_FLAGS})
  add_link_options(${KIN_SANITIZER_FLAGS})
endif()

if(KIN_TSAN)
  set(KIN_TSAN_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${KIN_TSAN_FLAGS})
  add_link_options(${KIN_TSAN_FLAGS})
endif()
