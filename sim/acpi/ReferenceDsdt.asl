// DSDT of the reference board: a laptop's namespace in brief (processor,
// PCI root with LPC bridge, EC, TPM, graphics with brightness levels, lid,
// power button, thermal zone, sleep states) and the flag QESD, which the
// TPM platform driver sets to 1 at start-up when "Setup" byte 599 is 1.
// The TPM device's _STA reads the flag before it is declared.
DefinitionBlock ("", "DSDT", 2, "ZELNB", "REFBOARD", 0x00001000)
{
    OperationRegion (GNVS, SystemMemory, 0x7FF0E000, 0x0100)
    Field (GNVS, AnyAcc, Lock, Preserve)
    {
        OSYS,   16,
        BRTL,   8,
        LIDS,   8,
        PWRS,   8,
        TPMP,   8
    }

    Scope (\_PR)
    {
        Processor (CPU0, 0x01, 0x00000410, 0x06) {}
        Processor (CPU1, 0x02, 0x00000410, 0x06) {}
    }

    Name (\_S0, Package (0x04) { Zero, Zero, Zero, Zero })
    Name (\_S3, Package (0x04) { 0x05, Zero, Zero, Zero })
    Name (\_S4, Package (0x04) { 0x06, Zero, Zero, Zero })
    Name (\_S5, Package (0x04) { 0x07, Zero, Zero, Zero })

    Method (_PTS, 1, NotSerialized)
    {
        Store (Arg0, \_SB.PCI0.LPCB.EC0.SLPT)
    }

    Method (_WAK, 1, NotSerialized)
    {
        Store (\_SB.LID0._LID (), LIDS)
        Return (Package (0x02) { Zero, Zero })
    }

    Scope (\_SB)
    {
        Device (PCI0)
        {
            Name (_HID, EisaId ("PNP0A08"))
            Name (_CID, EisaId ("PNP0A03"))
            Name (_BBN, Zero)
            Name (_UID, Zero)

            Device (LPCB)
            {
                Name (_ADR, 0x001F0000)

                Device (EC0)
                {
                    Name (_HID, EisaId ("PNP0C09"))
                    Name (_UID, One)
                    Name (_GPE, 0x17)
                    Name (_CRS, ResourceTemplate ()
                    {
                        IO (Decode16, 0x0062, 0x0062, 0x00, 0x01)
                        IO (Decode16, 0x0066, 0x0066, 0x00, 0x01)
                    })
                    OperationRegion (ECOR, EmbeddedControl, Zero, 0xFF)
                    Field (ECOR, ByteAcc, Lock, Preserve)
                    {
                        Offset (0xC1),
                        BTNE,   8,
                        Offset (0xC9),
                        BTNS,   8,
                        Offset (0xE3),
                        BRLV,   8,
                        SLPT,   8
                    }
                    Method (_Q10, 0, NotSerialized)
                    {
                        Notify (\_SB.PCI0.GFX0, 0x86)
                    }
                    Method (_Q11, 0, NotSerialized)
                    {
                        Notify (\_SB.PCI0.GFX0, 0x87)
                    }
                }

                Device (TPM)
                {
                    Name (_HID, EisaId ("PNP0C31"))
                    Name (_CRS, ResourceTemplate ()
                    {
                        Memory32Fixed (ReadOnly, 0xFED40000, 0x00005000)
                    })
                    Method (_STA, 0, NotSerialized)
                    {
                        If (LEqual (QESD, One))
                        {
                            Return (0x0F)
                        }
                        Return (Zero)
                    }
                }
            }

            Device (GFX0)
            {
                Name (_ADR, 0x00020000)
                Method (_BCL, 0, NotSerialized)
                {
                    Return (Package (0x0C)
                    {
                        0x64, 0x28, 0x0A, 0x14, 0x1E, 0x28,
                        0x32, 0x3C, 0x46, 0x50, 0x5A, 0x64
                    })
                }
                Method (_BCM, 1, NotSerialized)
                {
                    Store (Arg0, BRTL)
                }
                Method (_BQC, 0, NotSerialized)
                {
                    Return (BRTL)
                }
            }
        }

        Device (PWRB)
        {
            Name (_HID, EisaId ("PNP0C0C"))
        }

        Device (LID0)
        {
            Name (_HID, EisaId ("PNP0C0D"))
            Method (_LID, 0, NotSerialized)
            {
                Return (LIDS)
            }
        }
    }

    Scope (\_TZ)
    {
        ThermalZone (TZ00)
        {
            Name (_CRT, 0x0E94)
            Method (_TMP, 0, Serialized)
            {
                Return (0x0BB8)
            }
        }
    }

    Scope (\_GPE)
    {
        Method (_L1D, 0, NotSerialized)
        {
            Notify (\_SB.LID0, 0x80)
        }
    }

    Name (QESD, Zero)
}
