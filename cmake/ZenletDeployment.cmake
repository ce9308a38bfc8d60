# Deployment constants of the add-in. Each one can be overridden at configure time
# (-DZENLET_API_ADDRESS=...); the generated header is the only place the code reads them from.
set(ZENLET_API_KEY "0150d6925355f74dff20415d3695ae34" CACHE STRING "API key: 32 lowercase hex characters")
set(ZENLET_APP_SECRET "0ae64b3db17cba5900506b4a3e821d48" CACHE STRING "Application secret: 32 lowercase hex characters")
set(ZENLET_API_ADDRESS "https://api.facebook.com/" CACHE STRING "Root address of the REST API server: https://host[:port]/")
set(ZENLET_LOGIN_PAGE "https://api.facebook.com/login.php" CACHE STRING "Login page of the token login")
set(ZENLET_AUTHORIZE_PAGE "https://www.facebook.com/authorize.php" CACHE STRING "Page that grants an extended permission")
set(ZENLET_SITE_ADDRESS "http://www.facebook.com/" CACHE STRING "Web site address, with its trailing slash")
set(ZENLET_SITE_NAME "Facebook.com" CACHE STRING "The web site's name, written as its domain")
set(ZENLET_NAMESPACE_URI "http://api.facebook.com/1.0/" CACHE STRING "XML namespace of the REST answers")
set(ZENLET_PRODUCT_PAGE "http://www.morvane.com/zenlet/" CACHE STRING "The product's web page")
set(ZENLET_FEEDBACK_ADDRESS "zenlet-feedback@morvane.com" CACHE STRING "Address of the feedback mail")
# Build folders configured before the pages moved to https keep their cached http:// values;
# those shipped defaults move on, anything chosen on purpose stays.
foreach(_page "ZENLET_LOGIN_PAGE;http://api.facebook.com/login.php;https://api.facebook.com/login.php"
              "ZENLET_AUTHORIZE_PAGE;http://www.facebook.com/authorize.php;https://www.facebook.com/authorize.php")
  list(GET _page 0 _name)
  list(GET _page 1 _old)
  list(GET _page 2 _new)
  if("${${_name}}" STREQUAL "${_old}")
    get_property(_help CACHE ${_name} PROPERTY HELPSTRING)
    set(${_name} "${_new}" CACHE STRING "${_help}" FORCE)
  endif()
endforeach()
# The API server was a host and a port; a value chosen for them is named, then forgotten.
if((DEFINED CACHE{ZENLET_API_HOST} AND NOT ZENLET_API_HOST STREQUAL "api.facebook.com") OR
   (DEFINED CACHE{ZENLET_API_PORT} AND NOT ZENLET_API_PORT STREQUAL "80"))
  message(WARNING "ZENLET_API_HOST (${ZENLET_API_HOST}) and ZENLET_API_PORT (${ZENLET_API_PORT}) "
                  "are no longer read: set ZENLET_API_ADDRESS (now ${ZENLET_API_ADDRESS})")
endif()
unset(ZENLET_API_HOST CACHE)
unset(ZENLET_API_PORT CACHE)
# A service of this machine serving the API, the pages and the site below one root address
# (the emulator, for a test build): when set, it replaces the four addresses above.
set(ZENLET_SERVICE_ROOT "" CACHE STRING "Root address of a local service that replaces the API, page and site addresses")

foreach(_hex ZENLET_API_KEY ZENLET_APP_SECRET)
  if(NOT "${${_hex}}" MATCHES "^[0-9a-f]+$")
    message(FATAL_ERROR "${_hex} must be 32 lowercase hexadecimal characters")
  endif()
  string(LENGTH "${${_hex}}" _len)
  if(NOT _len EQUAL 32)
    message(FATAL_ERROR "${_hex} must be 32 lowercase hexadecimal characters")
  endif()
endforeach()

# Checks that `address` is http:// or https://, and warns when the session and the user's
# data would cross the network in clear text: plain http:// to a host that is not loopback.
function(zenlet_check_address name address)
  if(NOT address MATCHES "^(https?)://([^/:@?#]+|\\[[0-9a-fA-F:.]+\\])(:[0-9]+)?(/.*)?$")
    message(FATAL_ERROR "${name} must be an http:// or https:// address, not \"${address}\"")
  endif()
  set(_scheme "${CMAKE_MATCH_1}")
  set(_host "${CMAKE_MATCH_2}")
  if(_scheme STREQUAL "http" AND
     NOT _host MATCHES "^(localhost|127\\.[0-9]+\\.[0-9]+\\.[0-9]+|\\[::1\\])$")
    message(WARNING "${name} is plain http:// to ${_host}: everything sent there "
                    "crosses the network unencrypted")
  endif()
endfunction()

# Places the API, the login and permission pages and the site below `root`
# ("http://127.0.0.1:18080/"), as the emulator serves them, in the caller's scope.
macro(zenlet_service_at root)
  set(_root "${root}")
  if(NOT _root MATCHES "/$")
    string(APPEND _root "/")
  endif()
  set(ZENLET_API_ADDRESS "${_root}")
  set(ZENLET_LOGIN_PAGE "${_root}login.php")
  set(ZENLET_AUTHORIZE_PAGE "${_root}authorize.php")
  set(ZENLET_SITE_ADDRESS "${_root}")
endmacro()

# zenlet_deployment_header(<dir> [SERVICE_ROOT <address>]): writes <dir>/deployment_constants.h
# from the constants above, or with everything below a local service's root (a test build's).
function(zenlet_deployment_header dir)
  cmake_parse_arguments(ARG "" "SERVICE_ROOT" "" ${ARGN})
  if(ARG_SERVICE_ROOT)
    zenlet_service_at("${ARG_SERVICE_ROOT}")
  endif()
  if(NOT ZENLET_API_ADDRESS MATCHES "^https?://[^/]+/?$")
    message(FATAL_ERROR "ZENLET_API_ADDRESS must be a root address such as https://host[:port]/, "
                        "not \"${ZENLET_API_ADDRESS}\"")
  endif()
  foreach(_name ZENLET_API_ADDRESS ZENLET_LOGIN_PAGE ZENLET_AUTHORIZE_PAGE)
    zenlet_check_address(${_name} "${${_name}}")
  endforeach()
  configure_file("${ZENLET_DEPLOYMENT_TEMPLATE}" "${dir}/deployment_constants.h" @ONLY)
endfunction()

set(ZENLET_DEPLOYMENT_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/deployment_constants.h.in")
set(ZENLET_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
if(ZENLET_SERVICE_ROOT)
  # Also seen by the string table, whose site tooltip names the site's address.
  zenlet_service_at("${ZENLET_SERVICE_ROOT}")
endif()
zenlet_deployment_header("${ZENLET_GENERATED_DIR}")
