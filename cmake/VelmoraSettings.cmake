# One target that carries the language standard, warnings and Qt strictness for everything.
add_library(velmora_settings INTERFACE)
target_compile_features(velmora_settings INTERFACE cxx_std_20)
target_compile_options(velmora_settings INTERFACE -Wall -Wextra -Wno-unused-parameter)
# Program code spells every text as a literal of known encoding; tests (VELMORA_TEST set)
# may use plain string literals for readable tables.
set(_velmora_strict "$<NOT:$<BOOL:$<TARGET_PROPERTY:VELMORA_TEST>>>")
target_compile_definitions(velmora_settings INTERFACE
  $<${_velmora_strict}:QT_NO_CAST_FROM_ASCII>
  $<${_velmora_strict}:QT_NO_CAST_TO_ASCII>
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_DISABLE_DEPRECATED_UP_TO=0x060000)
if(VELMORA_SANITIZE)
  target_compile_options(velmora_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(velmora_settings INTERFACE -fsanitize=address,undefined)
endif()
if(VELMORA_FUZZ)
  # Coverage feedback from the program's own code, not only from the fuzz targets.
  target_compile_options(velmora_settings INTERFACE -fsanitize=fuzzer-no-link)
endif()
