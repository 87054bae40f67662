# A Marlet (device type 4) with a module in Ravla slot 1 and slot 2 empty:
# the page shows "Nicht unterstützt." for slot 2 with all its buttons grey.
# The module in slot 1 has no readable firmware info, so only its
# "Update..." is usable. Factory data version 5: no material number.
[device]
type = 4

[parts]
ravla1 = yes
ravla2 = no

[ravla]
2 = "RCAN-0300"
4 = "RCAN"

[version]
1 = absent

[factory]
value.1 = 5

[user]
led = 0
serial_id = 6699
