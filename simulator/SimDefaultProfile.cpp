#include "simulator/SimProfile.h"

namespace tmsim {

// The device the simulator stands for when no profile file is given: a fully
// equipped Marlet (device type 4) with keys, LEDs, both Ravla slots and the
// FPGA, but without FPGA1.
const char* DefaultProfileText() {
    return R"PROFILE(# Embedded default profile of the TmIvro.dll simulator.
[device]
type = 4
wmi_mode = 0

[parts]
display = yes
fpga = yes
fpga1 = no
ravla1 = yes
ravla2 = yes
user_led = yes
user_logo = yes

[display]
type = 0x21
brightness = 80
brightness_default = 80
brightness_factory = 100
contrast = 50
contrast_default = 50
contrast_factory = 50

[temperature]
cpu = 47
io = 36
drift = 2
drift_interval = 3000

[switches]
mode_node = 0x12
write_protect = 0

[factory]
value.1 = 6
value.2 = 0x00001A2B
value.3 = 0x0012
value.4 = 0x03
value.5 = 0x00
value.6 = 0x50
value.7 = 0x64
value.8 = 0x00
value.9 = 0x32
value.10 = 0x64
value.14 = "6TM4-1207-0042"
value.15 = 1024
value.16 = 768
value.17 = hex: 54 4D 53 45 54 55 50 00 06 01 50 32 00 01 00 00 \
                10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \
                FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF
text.14 = "MRL15T-A"

[keys]
count = 36
codes_enabled = 1
layer = 0
layer_mode = 0
switches = 0x00
matrix = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
config_valid = 1
config_info.0 = "KCF 2.10"
config_info.1 = "2023-05-17"
config_info.2 = "Standard layout"
demo_interval = 1500

[leds]
count = 32
matrix.0 = 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.1 = 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.2 = 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.3 = 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00

[firmware]
8 = 524288
9 = 262144
10 = 262144
12 = 5
13 = 5
14 = 5

[version]
0 = "FPGA MRL 1.07"
1 = "Ravla CAN 2.01"
2 = "Ravla DIO 1.12"
4 = "Dev=\"MRL\" Fct=\"F\" Var=\"07\" Use=\"pci\" Built 2023-03-02"
5 = "Dev=\"RCAN\" Fct=\"_\" Var=\"2\" Use=\"pci\""
6 = "Dev=\"RDIO\" Fct=\"_\" Var=\"1\" Use=\"pci\""
16 = "SMC 3.4.1"
17 = "KVC 1.9.0"
21 = "T4.12"
22 = "Core 8.0.1"
23 = "2023-01-12"

[ravla]
2 = "RCAN-0200"
3 = "RDIO-0112"
4 = "RCAN"
5 = "RDIO"
22 = "MRL"

[user]
led = 0
serial_id = 0x00001A2B
logo_text.0 = "TMLOGO.BMP 640x480"
logo_value.1 = 0x101
logo_value.2 = 153600

[transfer]
duration = 8000
kcf.version = 210
kcf.min_version = 200
kcf.max_version = 299
bios.version = 412
bios.min_version = 400
bios.max_version = 499
bios.restart = yes
bios.power_cycle = yes
fpga.version = 107
fpga.min_version = 100
fpga.max_version = 199
fpga.restart = yes
ravla1.version = 201
ravla1.min_version = 200
ravla1.max_version = 299
ravla1.restart = yes
ravla2.version = 112
ravla2.min_version = 100
ravla2.max_version = 199
ravla2.restart = yes
fpga1.version = 100
fpga1.min_version = 100
fpga1.max_version = 199
fpga1.power_cycle = yes
userlogo.version = 1
userlogo.min_version = 1
userlogo.max_version = 9
)PROFILE";
}

}  // namespace tmsim
