"""Writes the ROS 2 type hash of each message type that `rosidl translate` turned into IDL, as a C++
table keyed by the type's DDS name ("std_msgs::msg::dds_::String_").

The hash is the one ROS 2 computes since Iron (version 1 of its interface hashing, "RIHS01_"):
SHA-256 over the type's description written as JSON on one line, with ", " and ": " as separators
and ASCII only. The description holds the type (its name, "std_msgs/msg/String", and its fields)
and every type it refers to, directly or through others, sorted by name. A field is its name and
its type: a type id, the array's or bounded sequence's capacity, a bounded string's capacity and
the nested type's name. Default values and comments do not count.

Usage: python3 type_hashes.py IDL_ROOT OUTPUT PACKAGE...
Reads IDL_ROOT/PACKAGE/msg/*.idl of every PACKAGE; a type referred to must be among them.
"""

import hashlib
import json
import pathlib
import sys

from rosidl_parser import definition
from rosidl_parser.parser import parse_idl_file

RIHS01_PREFIX = 'RIHS01_'

# The type ids of ROS 2's type descriptions (type_description_interfaces/msg/FieldType).
NESTED_TYPE_ID = 1
BASIC_TYPE_IDS = {
    'int8': 2, 'uint8': 3, 'int16': 4, 'uint16': 5, 'int32': 6, 'uint32': 7, 'int64': 8,
    'uint64': 9, 'float': 10, 'double': 11, 'long double': 12, 'char': 13, 'wchar': 14,
    'boolean': 15, 'octet': 16,
}
STRING_TYPE_IDS = {
    definition.UnboundedString: 17,
    definition.UnboundedWString: 18,
    definition.BoundedString: 21,
    definition.BoundedWString: 22,
}
# Added to the element's type id for a field that holds several elements.
CONTAINER_OFFSETS = {
    definition.Array: 48,
    definition.BoundedSequence: 96,
    definition.UnboundedSequence: 144,
}


def element_type_id(element):
    if isinstance(element, definition.BasicType):
        return BASIC_TYPE_IDS[element.typename]
    if isinstance(element, definition.AbstractGenericString):
        return STRING_TYPE_IDS[type(element)]
    if isinstance(element, definition.NamespacedType):
        return NESTED_TYPE_ID
    raise ValueError(f'no type id for {element}')


def field_type(member_type):
    element = member_type
    type_id_offset = 0
    capacity = 0
    if isinstance(member_type, definition.AbstractNestedType):
        element = member_type.value_type
        type_id_offset = CONTAINER_OFFSETS[type(member_type)]
        if isinstance(member_type, definition.Array):
            capacity = member_type.size
        elif isinstance(member_type, definition.BoundedSequence):
            capacity = member_type.maximum_size
    string_capacity = 0
    if isinstance(element, (definition.BoundedString, definition.BoundedWString)):
        string_capacity = element.maximum_size
    nested_type_name = ''
    if isinstance(element, definition.NamespacedType):
        nested_type_name = '/'.join(element.namespaced_name())
    return {
        'type_id': element_type_id(element) + type_id_offset,
        'capacity': capacity,
        'string_capacity': string_capacity,
        'nested_type_name': nested_type_name,
    }


def individual_descriptions(idl_root, packages):
    """Each message type's own description (name and fields), by its ROS 2 name."""
    descriptions = {}
    for package in packages:
        for path in sorted((idl_root / package / 'msg').glob('*.idl')):
            locator = definition.IdlLocator(idl_root, path.relative_to(idl_root))
            for element in parse_idl_file(locator).content.elements:
                if not isinstance(element, definition.Message):
                    continue
                structure = element.structure
                name = '/'.join(structure.namespaced_type.namespaced_name())
                descriptions[name] = {
                    'type_name': name,
                    'fields': [{'name': member.name, 'type': field_type(member.type)}
                               for member in structure.members],
                }
    return descriptions


def type_hash(name, descriptions):
    referenced = set()
    pending = [name]
    while pending:
        for field in descriptions[pending.pop()]['fields']:
            nested = field['type']['nested_type_name']
            if nested and nested not in referenced:
                referenced.add(nested)
                pending.append(nested)
    description = {
        'type_description': descriptions[name],
        'referenced_type_descriptions': [descriptions[other] for other in sorted(referenced)],
    }
    text = json.dumps(description, ensure_ascii=True, separators=(', ', ': '))
    return RIHS01_PREFIX + hashlib.sha256(text.encode('utf-8')).hexdigest()


def dds_type_name(name):
    package, kind, type_name = name.split('/')
    return f'{package}::{kind}::dds_::{type_name}_'


def main(argv):
    idl_root, output, packages = pathlib.Path(argv[1]), pathlib.Path(argv[2]), argv[3:]
    descriptions = individual_descriptions(idl_root, packages)
    rows = ''.join(
        f'    {{"{dds_type_name(name)}", "{type_hash(name, descriptions)}"}},\n'
        for name in sorted(descriptions))
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text(
        '// Generated by tools/wire/type_hashes.py from msg/: the ROS 2 type hash of each message\n'
        '// type, by its DDS type name.\n'
        '#pragma once\n\n'
        '#include <string_view>\n#include <utility>\n\n'
        'namespace wire::generated {\n\n'
        'inline constexpr std::pair<std::string_view, std::string_view> kTypeHashes[] = {\n'
        f'{rows}}};\n\n'
        '}  // namespace wire::generated\n')


if __name__ == '__main__':
    main(sys.argv)
