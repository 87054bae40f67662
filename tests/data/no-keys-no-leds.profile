# A Marlet (device type 4) without keys and LEDs: the sheet has no Tasten
# and no LEDs page. Both Ravla slots are fitted.
[device]
type = 4

[keys]
count = 0

[leds]
count = 0

[switches]
mode_node = 0x3A

[user]
led = 3
serial_id = 0x00C0FFEE
logo_text.0 = "PLAIN.BMP"
logo_value.1 = 0x117      # a mode the page names "0117h (unbekannt)"
