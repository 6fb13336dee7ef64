# Rewrites one IDL file written by `rosidl translate` into the form Cyclone DDS's idlc compiles to
# the types ROS 2's middleware puts on the wire. Run with cmake -P, with IN, OUT and PACKAGE set.
#
# - Types move into a module dds_ and take a trailing underscore, as rmw_cyclonedds names them:
#   geometry_msgs::msg::Twist becomes geometry_msgs::msg::dds_::Twist_.
# - An include guard per file, since a type is reached along several includes (Header by Path
#   directly and through PoseStamped).
# - A guard per array typedef: PoseWithCovariance and TwistWithCovariance both declare double__36
#   in the same module, and Odometry includes both.
# - @default annotations go: idlc's C output ignores them (and says so for every field), so the
#   code that fills a sample sets such values itself (a quaternion's w = 1).
file(READ ${IN} text)
get_filename_component(type ${IN} NAME_WE)
string(REGEX REPLACE "([A-Za-z0-9_]+)::msg::([A-Za-z0-9_]+)" "\\1::msg::dds_::\\2_" text "${text}")
# rosidl puts every .msg in the module msg; a service's request and response belong to srv, an
# action's messages to action.
get_filename_component(folder ${IN} DIRECTORY)
get_filename_component(kind ${folder} NAME)
string(REPLACE "module msg {" "module ${kind} { module dds_ {" text "${text}")
# rosidl takes no underscore in a message's name but before _Request and _Response: an action's
# messages are written FollowPathSendGoal_Request.msg and FollowPathFeedbackMessage.msg, and take
# the names rosidl gives an action's, FollowPath_SendGoal_Request and FollowPath_FeedbackMessage.
set(dds_type ${type})
if(kind STREQUAL "action")
  string(REGEX REPLACE "^([A-Za-z0-9]+)(SendGoal|GetResult|CancelGoal)_" "\\1_\\2_" dds_type
         "${dds_type}")
  string(REGEX REPLACE "^([A-Za-z0-9]+)FeedbackMessage$" "\\1_FeedbackMessage" dds_type
         "${dds_type}")
endif()
string(REPLACE "struct ${type} {" "struct ${dds_type}_ {" text "${text}")
string(REGEX REPLACE "};[ \n]*};[ \n]*$" "};\n};\n};\n" text "${text}")
string(REGEX REPLACE "@default *\\([^)]*\\)" "" text "${text}")
string(REGEX REPLACE "(typedef [A-Za-z0-9_: ]+ ([A-Za-z0-9_]+)\\[[0-9]+\\];)"
  "\n#ifndef ${PACKAGE}_TYPEDEF_\\2\n#define ${PACKAGE}_TYPEDEF_\\2\n\\1\n#endif\n" text "${text}")
string(MAKE_C_IDENTIFIER "${PACKAGE}_${type}_IDL" guard)
string(TOUPPER ${guard} guard)
file(WRITE ${OUT} "#ifndef ${guard}\n#define ${guard}\n${text}#endif\n")
