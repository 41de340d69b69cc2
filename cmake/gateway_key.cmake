# The 16-byte key shared with the gateway. A deployment supplies its own with
# -DORVYPC_GATEWAY_KEY=<32 hex digits>; the default is this project's key.
set(ORVYPC_GATEWAY_KEY "df8cc5374c6a8b1fd4c6702548968d4a" CACHE STRING
    "Gateway cipher key, 32 hexadecimal digits (16 bytes)")
set(_orvypc_key "${ORVYPC_GATEWAY_KEY}")
if(NOT _orvypc_key MATCHES "^[0-9a-fA-F]+$")
  message(FATAL_ERROR "ORVYPC_GATEWAY_KEY must hold hexadecimal digits only, got \"${ORVYPC_GATEWAY_KEY}\"")
endif()
string(LENGTH "${_orvypc_key}" _orvypc_key_len)
if(NOT _orvypc_key_len EQUAL 32)
  message(FATAL_ERROR "ORVYPC_GATEWAY_KEY must be 32 hexadecimal digits (16 bytes), got ${_orvypc_key_len} digits")
endif()
string(REGEX REPLACE "([0-9a-fA-F][0-9a-fA-F])" "0x\\1, " ORVYPC_GATEWAY_KEY_BYTES "${_orvypc_key}")
