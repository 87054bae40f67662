# A Ferrow (device type 5): FPGA and FPGA1, no Ravla slots.
[device]
type = 5
wmi_mode = 0

[parts]
display = yes
fpga = yes
fpga1 = yes
ravla1 = no
ravla2 = no
user_led = yes
user_logo = yes

[display]
type = 0x14
brightness = 70
brightness_default = 70
brightness_factory = 90
contrast = 55
contrast_default = 55
contrast_factory = 60

[temperature]
cpu = 52
io = 41
drift = 1
drift_interval = 5000

[switches]
mode_node = 0x00          # service mode
write_protect = 1

[factory]
value.1 = 5               # factory data version 5: no material number
value.2 = 0x00002C3D
value.3 = 0x0021
value.4 = 0x07
value.5 = 0x0A
value.6 = 0x46
value.7 = 0x5A
value.8 = 0x14
value.9 = 0x37
value.10 = 0x3C
value.14 = absent
value.15 = 800
value.16 = 600
value.17 = hex: 46 45 52 52 4F 57 00 00 05 00 46 37 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
text.14 = "FRW08S"

[keys]
count = 12
codes_enabled = yes
layer = 1
layer_mode = 1            # Toggle
switches = 0x01
matrix = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
config_valid = no
config_info.0 = "KCF 1.02"
config_info.1 = "2021-11-30"
config_info.2 = ""

[leds]
count = 12
matrix.0 = 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.1 = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.2 = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
matrix.3 = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \
           00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00

[firmware]
8 = 393216
11 = 131072
12 = 5                    # Boot OK
15 = 6                    # old FPGA firmware

[version]
0 = "FPGA FRW 2.03"
3 = "FPGA1 STN 1.00"
4 = "Dev=\"FRW\" Fct=\"_\" Var=\"03\" Use=\"pci\""
7 = "Dev=\"STN\" Fct=\"_\" Var=\"1\" Use=\"stn\""
16 = "SMC 2.8.0"
17 = "KVC 1.4.2"
21 = "T5.03"
22 = "Core 7.2.0"
23 = "2021-09-01"

[ravla]
22 = "FRW"
23 = "STN"

[user]
led = 3
serial_id = 6699
logo_text.0 = "FERROW.BMP"
logo_value.1 = 0x103
logo_value.2 = 240000

[faults]
# none; for example:
# IvroGetTemperature = 121 after 10 item 1
