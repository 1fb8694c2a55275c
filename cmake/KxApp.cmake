# kx_windows_resources(APP DESCRIPTION PRODUCT) -> list of resource sources in ${APP}_RESOURCES
function(kx_windows_resources app description product)
  set(APP_NAME ${app})
  set(APP_DESCRIPTION ${description})
  set(APP_PRODUCT ${product})
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${app}_version.rc @ONLY)
  set(${app}_RESOURCES ${PROJECT_SOURCE_DIR}/resources/${app}.rc PARENT_SCOPE)
endfunction()
