"""A DDS domain for one test alone, as tests/dds_loopback.hpp's freeDomain gives the C++ tests: no
socket on the machine bound to its RTPS ports, and no other test process holding its lock in
/tmp/trelvo-dds-domains, held here until the process exits."""

import fcntl
import os
import random

PORT_BASE = 7400
PORTS_PER_DOMAIN = 250
LAST_DOMAIN = 232
FOLDER = "/tmp/trelvo-dds-domains"

_claims = []  # the open lock files: a claim lasts as long as the process


def bound_ports():
    ports = set()
    for table in ("/proc/net/udp", "/proc/net/udp6"):
        with open(table) as lines:
            next(lines)
            for line in lines:
                ports.add(int(line.split()[1].split(":")[1], 16))
    return ports


def free_domain():
    os.makedirs(FOLDER, mode=0o1777, exist_ok=True)
    start = random.randrange(LAST_DOMAIN)
    for i in range(LAST_DOMAIN):
        domain = 1 + (start + i) % LAST_DOMAIN
        claim = open(os.path.join(FOLDER, str(domain)), "a")
        try:
            fcntl.flock(claim, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            claim.close()
            continue
        first = PORT_BASE + PORTS_PER_DOMAIN * domain
        if any(first <= port < first + PORTS_PER_DOMAIN for port in bound_ports()):
            claim.close()
            continue
        _claims.append(claim)
        return domain
    raise RuntimeError("no free DDS domain on this machine")
