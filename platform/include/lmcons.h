// LAN Manager name lengths (Linux build).
#pragma once

#define CNLEN 15
#define UNLEN 256
#define DNLEN CNLEN
#define UNCLEN (CNLEN + 2)
#define PWLEN 256
