#!/usr/bin/env python3
"""Writes a large, realistic SCD file for benchmarking ccdcrc.

The substation is a set of bays with protection relays, bay controllers,
breaker I/O units, merging units, fault recorders and gateways of a few
vendors, each vendor with its own type templates, data-set style and internal
address style. Protection and control IEDs publish GOOSE, merging units
publish sampled values, and the subscribers' ExtRef inputs bind to members of
control blocks that really exist, mostly in neighbouring bays. The same seed
and options always give the same file, byte for byte.

The file is written IED by IED; only a compact plan of the publications and
inputs is kept in memory, so the size of the output is not limited by memory.
With the default options an IED takes about 0.4 MB.

--odd mixes in the cases that stress the lookup rules: attributes missing
versus present but empty, duplicated IED names and type ids, LN0 after the
LNs, data sets of the same name in two logical devices, control blocks whose
members live in another logical device, dotted names with SDI chains,
dangling inputs, several internal address styles, Private elements, comments
and processing instructions in odd places, and descriptions in several
scripts.
"""

import argparse
import io
import os
import random
import sys
import time

# --------------------------------------------------------------------------
# Vocabulary

# Data attributes per common data class: (name, bType, fc, type id suffix).
CDC_DAS = {
    "ENC": [("stVal", "Enum", "ST", "Beh"), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None),
            ("ctlModel", "Enum", "CF", "ctlModel")],
    "ENS": [("stVal", "Enum", "ST", "Beh"), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None)],
    "INS": [("stVal", "INT32", "ST", None), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None)],
    "SPS": [("stVal", "BOOLEAN", "ST", None), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None),
            ("d", "VisString255", "DC", None), ("dU", "Unicode255", "DC", None)],
    "SPC": [("origin", "Struct", "ST", "Originator"), ("stVal", "BOOLEAN", "ST", None), ("q", "Quality", "ST", None),
            ("t", "Timestamp", "ST", None), ("ctlModel", "Enum", "CF", "ctlModel"), ("dU", "Unicode255", "DC", None)],
    "DPC": [("origin", "Struct", "ST", "Originator"), ("stVal", "Dbpos", "ST", None), ("q", "Quality", "ST", None),
            ("t", "Timestamp", "ST", None), ("ctlModel", "Enum", "CF", "ctlModel"), ("dU", "Unicode255", "DC", None)],
    "ACT": [("general", "BOOLEAN", "ST", None), ("phsA", "BOOLEAN", "ST", None), ("phsB", "BOOLEAN", "ST", None),
            ("phsC", "BOOLEAN", "ST", None), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None)],
    "ACD": [("general", "BOOLEAN", "ST", None), ("dirGeneral", "Enum", "ST", "dir"), ("phsA", "BOOLEAN", "ST", None),
            ("dirPhsA", "Enum", "ST", "dir"), ("q", "Quality", "ST", None), ("t", "Timestamp", "ST", None)],
    "MV": [("mag", "Struct", "MX", "AnalogueValue_F"), ("q", "Quality", "MX", None), ("t", "Timestamp", "MX", None),
           ("units", "Struct", "CF", "Unit"), ("db", "INT32U", "CF", None)],
    "CMV": [("cVal", "Struct", "MX", "Vector"), ("q", "Quality", "MX", None), ("t", "Timestamp", "MX", None)],
    "SAV": [("instMag", "Struct", "MX", "AnalogueValue_I"), ("q", "Quality", "MX", None),
            ("sVC", "Struct", "CF", "ScaledValueConfig")],
    "LPL": [("vendor", "VisString255", "DC", None), ("swRev", "VisString255", "DC", None),
            ("d", "VisString255", "DC", None), ("configRev", "VisString255", "DC", None),
            ("ldNs", "VisString255", "EX", None)],
    "DPL": [("vendor", "VisString255", "DC", None), ("hwRev", "VisString255", "DC", None),
            ("serNum", "VisString255", "DC", None), ("model", "VisString255", "DC", None)],
}

DA_TYPES = {
    "AnalogueValue_F": [("f", "FLOAT32", None)],
    "AnalogueValue_I": [("i", "INT32", None)],
    "Vector": [("mag", "Struct", "AnalogueValue_F"), ("ang", "Struct", "AnalogueValue_F")],
    "Originator": [("orCat", "Enum", "orCategory"), ("orIdent", "Octet64", None)],
    "ScaledValueConfig": [("scaleFactor", "FLOAT32", None), ("offset", "FLOAT32", None)],
    "Unit": [("SIUnit", "Enum", "SIUnit"), ("multiplier", "Enum", "multiplier")],
}

ENUMS = {
    "Beh": ["on", "blocked", "test", "test/blocked", "off"],
    "ctlModel": ["status-only", "direct-with-normal-security", "sbo-with-normal-security",
                 "direct-with-enhanced-security", "sbo-with-enhanced-security"],
    "orCategory": ["not-supported", "bay-control", "station-control", "remote-control", "automatic-bay",
                   "automatic-station", "automatic-remote", "maintenance", "process"],
    "dir": ["unknown", "forward", "backward", "both"],
    "SIUnit": ["", "m", "kg", "s", "A", "K", "mol", "cd", "deg", "rad"],
    "multiplier": ["y", "z", "a", "f", "p", "n", "µ", "m", "c", "d", "", "da", "h", "k", "M", "G"],
}


def _numbered(stem, count, cdc):
    return [("%s%d" % (stem, n), cdc) for n in range(1, count + 1)]


# Logical node types: variant -> (lnClass, data objects). Every type starts with Beh.
LN_TYPES = {
    "LLN0": ("LLN0", [("Mod", "ENC"), ("Beh", "ENS"), ("Health", "ENS"), ("NamPlt", "LPL")]),
    "LPHD": ("LPHD", [("PhyNam", "DPL"), ("PhyHealth", "ENS"), ("Proxy", "SPS")]),
    "PTRC": ("PTRC", [("Str", "ACD"), ("Op", "ACT"), ("Tr", "ACT")]),
    "PDIS": ("PDIS", [("Str", "ACD"), ("Op", "ACT")]),
    "PTOC": ("PTOC", [("Str", "ACD"), ("Op", "ACT")]),
    "PDIF": ("PDIF", [("Str", "ACD"), ("Op", "ACT")]),
    "PTOV": ("PTOV", [("Str", "ACD"), ("Op", "ACT")]),
    "PTUV": ("PTUV", [("Str", "ACD"), ("Op", "ACT")]),
    "PSCH": ("PSCH", [("ProTx", "SPS"), ("ProRx", "SPS"), ("Op", "ACT")]),
    "RREC": ("RREC", [("Op", "ACT"), ("AutoRecSt", "INS")]),
    "RBRF": ("RBRF", [("Str", "ACD"), ("OpEx", "ACT"), ("OpIn", "ACT")]),
    "XCBR": ("XCBR", [("Loc", "SPS"), ("OpCnt", "INS"), ("Pos", "DPC"), ("BlkOpn", "SPC"), ("BlkCls", "SPC")]),
    "XSWI": ("XSWI", [("Loc", "SPS"), ("Pos", "DPC"), ("BlkOpn", "SPC"), ("BlkCls", "SPC")]),
    "CSWI": ("CSWI", [("Pos", "DPC")]),
    "CILO": ("CILO", [("EnaOpn", "SPS"), ("EnaCls", "SPS")]),
    "MMXU": ("MMXU", [("TotW", "MV"), ("TotVAr", "MV"), ("Hz", "MV"), ("PhV", "WYE"), ("A", "WYE")]),
    "TTMP": ("TTMP", [("Tmp", "MV")]),
    "TCTR": ("TCTR", [("Amp", "SAV")]),
    "TVTR": ("TVTR", [("Vol", "SAV")]),
    "GGIO_ALM": ("GGIO", _numbered("Alm", 16, "SPS")),
    "GGIO_IND": ("GGIO", _numbered("Ind", 48, "SPS") + _numbered("DPCSO", 16, "DPC") + _numbered("AnIn", 16, "MV")),
    "GGIO_GOOUT": ("GGIO", _numbered("SPCSO", 32, "SPC")),
    "GGIO_GOIN": ("GGIO", _numbered("SPCSO", 64, "SPC") + _numbered("DPCSO", 16, "DPC") + _numbered("AnIn", 16, "MV")),
    "GGIO_SVIN": ("GGIO", _numbered("AnIn", 48, "SAV")),
}
for _variant, (_cls, _dos) in LN_TYPES.items():
    if _variant != "LLN0":
        _dos.insert(0, ("Beh", "ENS"))

WYE_SDOS = ["phsA", "phsB", "phsC"]

# Capacity of one virtual input node, per data object stem.
GOIN_CAPACITY = {"SPCSO": 64, "DPCSO": 16, "AnIn": 16}
IND_CAPACITY = {"Ind": 48, "DPCSO": 16, "AnIn": 16}
SVIN_CAPACITY = 48

# Logical nodes that fill the station-bus logical devices, per device.
BULK_CLASSES = {
    "LD0": ["GGIO_ALM", "GGIO_ALM", "GGIO_IND"],
    "PROT": ["PTRC", "PDIS", "PDIS", "PDIS", "PTOC", "PTOC", "PDIF", "PTOV", "PTUV", "PSCH", "RREC", "RBRF",
             "GGIO_ALM"],
    "CTRL": ["CSWI", "XCBR", "XSWI", "XSWI", "CILO", "GGIO_IND"],
    "MEAS": ["MMXU", "MMXU", "TTMP", "GGIO_ALM"],
    "RCD": ["GGIO_ALM", "GGIO_IND", "MMXU"],
}

LN_DESC_ZH = {
    "LLN0": "逻辑节点零", "LPHD": "物理设备", "PTRC": "跳闸逻辑", "PDIS": "距离保护", "PTOC": "过流保护",
    "PDIF": "差动保护", "PTOV": "过压保护", "PTUV": "欠压保护", "PSCH": "纵联保护", "RREC": "重合闸",
    "RBRF": "失灵保护", "XCBR": "断路器", "XSWI": "隔离刀闸", "CSWI": "控制", "CILO": "联锁", "MMXU": "测量",
    "TTMP": "温度", "TCTR": "电流互感器", "TVTR": "电压互感器", "GGIO": "通用输入输出",
}
DO_DESC_ZH = {
    "Str": "启动", "Op": "动作", "Tr": "跳闸", "Pos": "位置", "Loc": "就地", "OpCnt": "动作次数", "BlkOpn": "闭锁分闸",
    "BlkCls": "闭锁合闸", "EnaOpn": "允许分闸", "EnaCls": "允许合闸", "TotW": "有功功率", "TotVAr": "无功功率",
    "Hz": "频率", "PhV": "相电压", "A": "相电流", "Tmp": "温度", "Amp": "电流", "Vol": "电压", "Beh": "行为",
    "Mod": "模式", "Health": "健康状态", "NamPlt": "铭牌", "PhyNam": "装置铭牌", "PhyHealth": "装置状态",
    "Proxy": "代理", "AutoRecSt": "重合闸状态", "OpEx": "外部跳闸", "OpIn": "内部跳闸", "ProTx": "发信",
    "ProRx": "收信", "Alm": "告警", "Ind": "信号", "SPCSO": "开入", "DPCSO": "双点开入", "AnIn": "模拟量",
}
LN_DESC_EN = {
    "LLN0": "Logical node zero", "LPHD": "Physical device", "PTRC": "Trip conditioning", "PDIS": "Distance",
    "PTOC": "Overcurrent", "PDIF": "Differential", "PTOV": "Overvoltage", "PTUV": "Undervoltage",
    "PSCH": "Teleprotection", "RREC": "Autoreclosing", "RBRF": "Breaker failure", "XCBR": "Circuit breaker",
    "XSWI": "Disconnector", "CSWI": "Switch controller", "CILO": "Interlocking", "MMXU": "Measurement",
    "TTMP": "Temperature", "TCTR": "Current transformer", "TVTR": "Voltage transformer", "GGIO": "Generic I/O",
}
ODD_DESCS = ["Überstrom & Auslösung", "過電流保護 <段1>", "Защита \"линии\"", "보호 트립", "Δ-Y 变压器 ⚡",
             "ساعة", "tab\there", "a  b   c"]

PHASE_ZH = ["A相", "B相", "C相", "零序"]



def reference_attributes(m):
    """The reference attributes a data-set member and an input share, with missing and empty kept apart."""
    a = [("ldInst", m.ld)]
    if m.prefix:
        a.append(("prefix", m.prefix))
    elif m.empty_prefix:
        a.append(("prefix", ""))
    a.append(("lnClass", m.ln_class))
    if m.ln_inst is not None:
        a.append(("lnInst", m.ln_inst))
    a.append(("doName", m.do_name))
    if m.da_name is not None:
        a.append(("daName", m.da_name))
    return a

class Vendor:
    def __init__(self, name, code, lang, ds_style, addr_style, inputs_at, sv_style, ports):
        self.name = name
        self.code = code            # type id prefix
        self.lang = lang            # "zh" or "en"
        self.ds_style = ds_style    # GOOSE data sets: "pair" (value + q), "do" (whole DOs), "single"
        self.addr_style = addr_style
        self.inputs_at = inputs_at  # where ExtRefs go: "ln0" of the input device or the input "ln"
        self.sv_style = sv_style    # merging unit data sets: "pair" (instMag.i + q) or "do" (9-2LE)
        self.ports = ports


VENDORS = [
    Vendor("Kestrel", "KST_", "zh", "pair", "port", "ln0", "pair", ["1-A", "1-B", "2-A", "2-B"]),
    Vendor("Aurel Systems", "AUR_", "en", "do", "plain", "ln", "do", []),
    Vendor("Tessera", "TSR_", "zh", "single", "ld0", "ln0", "pair", []),
]
# Only with --odd: internal addresses with "n:" and ":x" parts around the reference.
ODD_VENDOR = Vendor("Boreal", "BRL_", "zh", "pair", "colon", "ln", "do", ["2", "3"])


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def attrs(pairs):
    """Attribute text; a value of None leaves the attribute out, "" writes it empty."""
    return "".join(' %s="%s"' % (k, esc(v)) for k, v in pairs if v is not None)


# --------------------------------------------------------------------------
# Plan: what each IED publishes and subscribes, decided before anything is written.

class Member:
    __slots__ = ("ld", "prefix", "ln_class", "ln_inst", "do_name", "da_name", "fc", "cdc", "empty_prefix")

    def __init__(self, ld, prefix, ln_class, ln_inst, do_name, da_name, fc, cdc):
        self.ld, self.prefix, self.ln_class, self.ln_inst = ld, prefix, ln_class, ln_inst
        self.do_name, self.da_name, self.fc, self.cdc = do_name, da_name, fc, cdc
        self.empty_prefix = False   # write prefix="" instead of leaving it out


class DataSet:
    def __init__(self, name, ld, members, desc):
        self.name, self.ld, self.members, self.desc = name, ld, members, desc


class ControlBlock:
    def __init__(self, kind, name, ld, ap, data_set, conf_rev):
        self.kind = kind            # 0 GOOSE, 1 sampled values
        self.name, self.ld, self.ap = name, ld, ap
        self.data_set = data_set    # DataSet or None (datSet names nothing)
        self.dat_set = data_set.name if data_set else None
        self.conf_rev = conf_rev
        self.appid = 0
        self.has_address = True
        self.receivers = []         # names of the IEDs with inputs from this block


class LogicalNode:
    """A logical node that the plan refers to (publisher members or input targets)."""

    def __init__(self, prefix, variant, inst, desc):
        self.prefix, self.variant, self.inst, self.desc = prefix, variant, inst, desc
        self.ln_class = LN_TYPES[variant][0]
        self.dois = {}              # DO name -> (cdc, desc, set of DA paths to instantiate)
        self.inputs = []            # ExtRefs placed in this node
        self.empty_prefix = False

    @property
    def name(self):
        return (self.prefix or "") + self.ln_class + self.inst

    def use(self, do_name, cdc, desc, da_path=None):
        entry = self.dois.setdefault(do_name, (cdc, desc, set()))
        if da_path:
            entry[2].add(da_path)


class Ied:
    def __init__(self, index, name, role, vendor):
        self.index, self.name, self.role, self.vendor = index, name, role, vendor
        self.control_blocks = []
        self.data_sets = {}         # LD inst -> [DataSet]
        self.pub_lns = {}           # LD inst -> [LogicalNode] referenced by data sets
        self.input_lns = {}         # LD inst -> [LogicalNode] holding input targets
        self.ln0_inputs = {}        # LD inst -> [ExtRef] placed in LN0
        self.odd = set()            # odd features of this IED
        self.goose_cbs = []
        self.sv_cbs = []

    @property
    def aps(self):
        return {"P": ["S1", "G1", "M1"], "C": ["S1", "G1", "M1"], "I": ["G1"], "M": ["M1"], "R": ["S1", "G1", "M1"],
                "G": ["S1"]}[self.role]


class ExtRef:
    __slots__ = ("attrs", "int_addr")

    def __init__(self, attrs_, int_addr):
        self.attrs, self.int_addr = attrs_, int_addr


class Planner:
    def __init__(self, opts):
        self.o = opts
        self.rng = random.Random("%d:plan" % opts.seed)
        self.ieds = []
        self.goose_appid = 0x1000
        self.sv_appid = 0x4000

    # -- roles, names, vendors
    def assign_roles(self):
        n = self.o.ieds
        roles = []
        mu_acc = 0.5
        cycle = "PCIPCI"
        c = 0
        for i in range(n):
            if i % 50 == 7:
                roles.append("G")
                continue
            if i % 25 == 12:
                roles.append("R")
                continue
            mu_acc += self.o.sv_share
            if mu_acc >= 1.0:
                mu_acc -= 1.0
                roles.append("M")
                continue
            roles.append(cycle[c % len(cycle)])
            c += 1
        seen = {}
        levels = [("22", "220kV"), ("11", "110kV"), ("35", "35kV"), ("10", "10kV")]
        funcs = {"P": "L", "C": "L", "I": "L", "M": "L", "R": "R", "G": "W"}
        vendors = VENDORS + ([ODD_VENDOR] if self.o.odd else [])
        for i, role in enumerate(roles):
            bay = i // 6
            vl = levels[bay % 4][0]
            func = funcs[role]
            if role == "P" and bay % 5 == 4:
                func = "T"
            if role == "P" and bay % 7 == 6:
                func = "B"
            stem = "%s%s%s%02d" % (role, func, vl, bay % 100)
            k = seen.get(stem, 0)
            seen[stem] = k + 1
            name = stem + "ABCDEFGHJK"[k % 10] + ("" if k < 10 else str(k // 10))
            vendor = vendors[self.rng.randrange(len(vendors))]
            self.ieds.append(Ied(i, name, role, vendor))
        if self.o.odd:
            # Two IEDs share a name; lookups by name find the earlier one.
            dups = [i for i in range(1, n) if i % 97 == 50] or ([n // 2] if n > 2 else [])
            for i in dups:
                self.ieds[i].name = self.ieds[i - 1].name
                self.ieds[i].odd.add("duplicate-name")

    # -- publications
    def plan_publications(self):
        for ied in self.ieds:
            rng = random.Random("%d:pub:%d" % (self.o.seed, ied.index))
            if ied.role in "PCI":
                self._plan_goose_publisher(ied, rng)
            elif ied.role == "M":
                self._plan_merging_unit(ied)
            for cb in ied.control_blocks:
                if cb.kind == 0:
                    cb.appid = self.goose_appid
                    self.goose_appid += 1
                    ied.goose_cbs.append(cb)
                else:
                    cb.appid = self.sv_appid
                    self.sv_appid += 1
                    ied.sv_cbs.append(cb)

    def _desc(self, ied, ln_class, inst, do_name=None):
        if ied.vendor.lang == "zh":
            text = LN_DESC_ZH.get(ln_class, ln_class) + inst
            if do_name:
                stem = do_name.rstrip("0123456789")
                text += DO_DESC_ZH.get(stem, stem) + do_name[len(stem):]
        else:
            text = "%s %s" % (LN_DESC_EN.get(ln_class, ln_class), inst)
            if do_name:
                text += " " + do_name
        return text

    def _plan_goose_publisher(self, ied, rng):
        o = self.o
        v = ied.vendor
        ld = "PIGO"
        lns = []
        pool = []   # (LogicalNode, DO name, cdc)

        def node(prefix, variant, inst):
            ln = LogicalNode(prefix, variant, inst, self._desc(ied, LN_TYPES[variant][0], inst))
            lns.append(ln)
            return ln

        if ied.role == "P":
            for k in (1, 2):
                ln = node(None, "PTRC", str(k))
                pool += [(ln, "Tr", "ACT"), (ln, "Op", "ACT"), (ln, "Str", "ACD")]
            ln = node(None, "RBRF", "1")
            pool += [(ln, "OpEx", "ACT")]
            ln = node(None, "RREC", "1")
            pool += [(ln, "Op", "ACT"), (ln, "AutoRecSt", "INS")]
        else:
            ln = node("Q0", "XCBR", "1")
            pool += [(ln, "Pos", "DPC"), (ln, "Loc", "SPS")]
            for k, p in enumerate(("Q1", "Q2", "Q9"), 1):
                pool.append((node(p, "XSWI", "1"), "Pos", "DPC"))
            if ied.role == "C":
                ln = node(None, "MMXU", "1")
                pool += [(ln, "TotW", "MV"), (ln, "Hz", "MV"), (ln, "PhV.phsA", "CMV"), (ln, "PhV.phsB", "CMV")]
                ln = node(None, "CILO", "1")
                pool += [(ln, "EnaOpn", "SPS"), (ln, "EnaCls", "SPS")]
        per_do = {"pair": 2, "do": 1, "single": 1}[v.ds_style]
        need = o.data_sets * o.members
        have = len(pool) * per_do
        k = 1
        while have < need:
            ln = node("GOOUT", "GGIO_GOOUT", str(k))
            for n in range(1, 33):
                pool.append((ln, "SPCSO%d" % n, "SPC"))
            have += 32 * per_do
            k += 1
        members = []
        for ln, do_name, cdc in pool:
            for da in self._member_das(v, cdc, rng):
                members.append((ln, do_name, cdc, da))
        data_sets = []
        for d in range(o.data_sets):
            chunk = members[d * o.members:(d + 1) * o.members]
            ms = []
            for ln, do_name, cdc, da in chunk:
                m = Member(ld, ln.prefix, ln.ln_class, ln.inst, do_name, da, "MX" if cdc in ("MV", "CMV") else "ST", cdc)
                ln.use(do_name.split(".")[0], "WYE" if "." in do_name else cdc,
                       self._desc(ied, ln.ln_class, ln.inst, do_name.split(".")[0]),
                       (do_name.split(".", 1)[1] + "." if "." in do_name else "") + (da or ""))
                ms.append(m)
            name = ("dsGOOSE%d" % (d + 1)) if v.lang == "zh" else ("GooseDs%d" % (d + 1))
            desc = ("GOOSE数据集%d" % (d + 1)) if v.lang == "zh" else None
            data_sets.append(DataSet(name, ld, ms, desc))
        ied.data_sets[ld] = data_sets
        ied.pub_lns[ld] = lns
        for d, ds in enumerate(data_sets):
            cb_name = ("gocb%d" % (d + 1)) if v.code != "AUR_" else ("GoCB_%02d" % (d + 1))
            ied.control_blocks.append(ControlBlock(0, cb_name, ld, "G1", ds, str(1 + rng.randrange(3))))
        if self.o.odd:
            self._odd_publisher(ied)

    def _member_das(self, v, cdc, rng):
        primary = {"ACT": "general", "ACD": "general", "SPS": "stVal", "SPC": "stVal", "DPC": "stVal",
                   "INS": "stVal", "MV": "mag.f", "CMV": "cVal.mag.f"}[cdc]
        if v.ds_style == "do":
            return [None]
        if v.ds_style == "pair":
            return [primary, "q"]
        if cdc == "DPC" and rng.random() < 0.3:
            return ["origin.orCat"]
        return [primary]

    def _odd_publisher(self, ied):
        """Publisher shapes that stress the lookups (only with --odd)."""
        pick = ied.index % 6
        ld = "PIGO"
        dss = ied.data_sets[ld]
        if pick == 0 and len(dss) > 1:
            # Members present-but-empty prefix, LLN0 members with and without lnInst.
            ds = dss[0]
            for m in ds.members[::3]:
                if not m.prefix:
                    m.empty_prefix = True
            ln0a = Member(ld, None, "LLN0", "", "Beh", "stVal", "ST", "ENS")
            ln0b = Member(ld, None, "LLN0", None, "Mod", None, "ST", "ENC")
            m0 = ds.members[0]
            whole = Member(m0.ld, m0.prefix, m0.ln_class, m0.ln_inst, m0.do_name, "", m0.fc, m0.cdc)
            ds.members[1:1] = [ln0a, ln0b, whole]
            ied.odd.add("lln0-members")
        elif pick == 1:
            # A data set of the same name in a second logical device with its own control block,
            # and a data set in PIGO whose members live in PROT.
            ied.odd.add("same-name-data-set")
            prot_ln = LogicalNode(None, "PTRC", "3", self._desc(ied, "PTRC", "3"))
            ms = [Member("PROT", None, "PTRC", "3", "Tr", "general", "ST", "ACT"),
                  Member("PROT", None, "PTRC", "3", "Tr", "q", "ST", "ACT"),
                  Member("PROT", None, "PTRC", "3", "Op", None, "ST", "ACT")]
            prot_ln.use("Tr", "ACT", self._desc(ied, "PTRC", "3", "Tr"), "general")
            prot_ln.use("Tr", "ACT", "", "q")
            prot_ln.use("Op", "ACT", self._desc(ied, "PTRC", "3", "Op"))
            ied.pub_lns.setdefault("PROT", []).append(prot_ln)
            same = DataSet(dss[0].name, "PROT", ms[:2], "same name, other device")
            ied.data_sets.setdefault("PROT", []).append(same)
            ied.control_blocks.append(ControlBlock(0, "gocbP", "PROT", ied.aps[0], same, "1"))
            cross = DataSet("dsCross", ld, [Member("PROT", None, "PTRC", "3", "Op", None, "ST", "ACT"),
                                            Member("PROT", None, "PTRC", "3", "Tr", "general", "ST", "ACT")], None)
            dss.append(cross)
            ied.control_blocks.append(ControlBlock(0, "gocbX", ld, "G1", cross, "1"))
        elif pick == 2:
            # Dotted names with trailing dots and a member without doName; LN0 after the LNs.
            ds = dss[-1]
            ds.members.append(Member(ld, None, "MMXU", "9", "A.phsC", "cVal.mag.f", "MX", "CMV"))
            ds.members.append(Member(ld, None, "PTRC", "1", "Tr", "general.", "ST", "ACT"))
            ds.members.append(Member(ld, None, "PTRC", "1", "", "q", "ST", "ACT"))
            ied.odd.add("ln0-last")
        elif pick == 3:
            # A control block without data set, one whose data set is missing, one without address.
            ied.control_blocks.append(ControlBlock(0, "gocbNoDs", ld, "G1", None, "1"))
            cb = ControlBlock(0, "gocbLost", ld, "G1", None, "1")
            cb.dat_set = "dsDoesNotExist"
            ied.control_blocks.append(cb)
            ied.control_blocks[0].has_address = False
            ied.odd.add("private-cb")
        elif pick == 4:
            ied.odd.add("comments")
            ied.odd.add("ln0-no-inst")
        else:
            ied.odd.add("empty-prefix-ln")
            for ln in ied.pub_lns[ld]:
                if not ln.prefix:
                    ln.empty_prefix = True

    def _plan_merging_unit(self, ied):
        o = self.o
        v = ied.vendor
        ld = "MU"
        lns = {}
        n_cb = max(1, o.data_sets // 2)
        per_ch = 2 if v.sv_style == "pair" else 1
        channels = max(2, o.members // per_ch)
        inst = {"TCTR": 0, "TVTR": 0}
        data_sets = []
        for c in range(n_cb):
            ms = []
            for ch in range(channels):
                cls = "TCTR" if ch < (channels + 1) // 2 else "TVTR"
                inst[cls] += 1
                i = str(inst[cls])
                ln = lns.get((cls, i))
                if ln is None:
                    ln = lns[(cls, i)] = LogicalNode(None, cls, i, self._desc(ied, cls, i))
                do_name = "Amp" if cls == "TCTR" else "Vol"
                phase = PHASE_ZH[(int(i) - 1) % 4]
                desc = (phase + ("电流" if cls == "TCTR" else "电压") + i) if v.lang == "zh" else "%s %s" % (do_name, i)
                if per_ch == 2:
                    ms.append(Member(ld, None, cls, i, do_name, "instMag.i", "MX", "SAV"))
                    ms.append(Member(ld, None, cls, i, do_name, "q", "MX", "SAV"))
                    ln.use(do_name, "SAV", desc, "instMag.i")
                    ln.use(do_name, "SAV", desc, "q")
                else:
                    ms.append(Member(ld, None, cls, i, do_name, None, "MX", "SAV"))
                    ln.use(do_name, "SAV", desc)
            data_sets.append(DataSet("PhsMeas%d" % (c + 1), ld, ms, "9-2LE" if per_ch == 1 else None))
        ied.data_sets[ld] = data_sets
        ied.pub_lns[ld] = list(lns.values())
        for c, ds in enumerate(data_sets):
            ied.control_blocks.append(ControlBlock(1, "MSVCB%02d" % (c + 1), ld, "M1", ds, "1"))
        # One GOOSE block with the unit's alarms.
        alm = LogicalNode(None, "GGIO_ALM", "1", self._desc(ied, "GGIO", "1"))
        ms = []
        for n in range(1, 5):
            ms.append(Member("LD0", None, "GGIO", "1", "Alm%d" % n, "stVal", "ST", "SPS"))
            alm.use("Alm%d" % n, "SPS", self._desc(ied, "GGIO", "1", "Alm%d" % n), "stVal")
        ds = DataSet("dsAlarm", "LD0", ms, None)
        ied.data_sets["LD0"] = [ds]
        ied.pub_lns["LD0"] = [alm]
        ied.control_blocks.append(ControlBlock(0, "gocbAlm", "LD0", "M1", ds, "1"))
        if self.o.odd and ied.index % 3 == 0:
            # One data set sent by a GOOSE and a sampled-value control block alike.
            ied.control_blocks.append(ControlBlock(0, "gocbSV", ld, "M1", data_sets[0], "1"))
            ied.odd.add("shared-data-set")

    # -- inputs
    def plan_inputs(self):
        goose_pubs = [i for i in self.ieds if i.goose_cbs and i.role != "M"]
        sv_pubs = [i for i in self.ieds if i.sv_cbs]
        for ied in self.ieds:
            rng = random.Random("%d:sub:%d" % (self.o.seed, ied.index))
            if ied.role in "PCIR":
                total = self.o.inputs * (3 if ied.role == "R" else 1)
                sv_total = 0
                if "M1" in ied.aps and sv_pubs and ied.role in "PR":
                    sv_total = total // 3
                elif "M1" in ied.aps and sv_pubs and ied.role == "C" and ied.index % 2 == 0:
                    sv_total = total // 6
                self._plan_subscriber(ied, rng, goose_pubs, total - sv_total, 0)
                self._plan_subscriber(ied, rng, sv_pubs, sv_total, 1)
            elif ied.role == "M":
                # Merging units take disconnector positions for voltage selection.
                ctrl = [i for i in goose_pubs if i.role in "CI"]
                self._plan_subscriber(ied, rng, ctrl, max(2, self.o.inputs // 12), 0)

    def plan_instance_members(self):
        """--instance-members N: the first protection IED also sends a data set of N members that differ only in
        lnInst (PTRC1.Tr.general, PTRC2.Tr.general, ...), and one other IED binds an input to each."""
        n = self.o.instance_members
        pub = next((i for i in self.ieds if i.role == "P"), None)
        sub = next((i for i in self.ieds if i.role in "PCIR" and i is not pub), None)
        if n <= 0 or pub is None or sub is None:
            return
        ld = "PIGO"
        members = [Member(ld, None, "PTRC", str(k), "Tr", "general", "ST", "ACT") for k in range(1, n + 1)]
        data_set = DataSet("dsInstances", ld, members, None)
        pub.data_sets[ld].append(data_set)
        cb = ControlBlock(0, "gocbInstances", ld, "G1", data_set, "1")
        cb.appid = self.goose_appid
        self.goose_appid += 1
        pub.control_blocks.append(cb)
        pub.goose_cbs.append(cb)
        cb.receivers.append(sub.name)
        targets = _TargetAllocator(sub, 0)
        if targets.lns:
            # Targets of their own, after those of the other inputs.
            for stem, capacity in targets.caps.items():
                targets.used[(id(targets.lns[-1]), stem)] = capacity
        for m in members:
            tgt = targets.allocate(m.cdc)
            targets.place(self._extref(sub, pub, cb, m, tgt), tgt)

    def _pick_publisher(self, ied, rng, pubs):
        near = [p for p in pubs if p is not ied and abs(p.index - ied.index) <= 8]
        if near and rng.random() < 0.75:
            return near[rng.randrange(len(near))]
        others = [p for p in pubs if p is not ied] or pubs
        return others[rng.randrange(len(others))]

    def _plan_subscriber(self, ied, rng, pubs, count, kind):
        if count <= 0 or not pubs:
            return
        targets = _TargetAllocator(ied, kind)
        made = 0
        guard = 0
        while made < count and guard < count * 4:
            guard += 1
            pub = self._pick_publisher(ied, rng, pubs)
            cbs = [cb for cb in (pub.goose_cbs if kind == 0 else pub.sv_cbs) if cb.data_set]
            if not cbs:
                continue
            cb = cbs[rng.randrange(len(cbs))]
            ms = [m for m in cb.data_set.members if m.do_name]
            if not ms:
                continue
            if ied.name not in cb.receivers:
                cb.receivers.append(ied.name)
            run = min(count - made, rng.randint(2, 12) if kind == 0 else rng.randint(4, 16), len(ms))
            start = rng.randrange(len(ms) - run + 1)
            group = {}
            for m in ms[start:start + run]:
                # Members of one data object share one target data object of the subscriber.
                key = (m.ld, m.prefix, m.ln_class, m.ln_inst, m.do_name)
                if key not in group:
                    group[key] = targets.allocate(m.cdc)
                tgt = group[key]
                ext = self._extref(ied, pub, cb, m, tgt)
                targets.place(ext, tgt)
                made += 1
                if rng.random() < 0.02:
                    # The same signal wired to a second input.
                    tgt2 = targets.allocate(m.cdc)
                    targets.place(self._extref(ied, pub, cb, m, tgt2), tgt2)
                    made += 1
        if self.o.odd:
            self._odd_inputs(ied, rng, targets, pubs, kind)

    def _extref(self, ied, pub, cb, m, tgt, int_addr=None):
        v = ied.vendor
        a = [("iedName", pub.name)] + reference_attributes(m)
        if int_addr is None:
            int_addr = self._int_addr(v, tgt, m.da_name, pub.index)
        a.append(("intAddr", int_addr))
        if v.lang == "zh" and v.code != "TSR_":
            a.append(("desc", tgt.ln.dois[tgt.do][1]))
        if v.code in ("AUR_", "BRL_"):
            a += [("serviceType", "GOOSE" if cb.kind == 0 else "SMV"), ("srcLDInst", cb.ld),
                  ("srcLNClass", "LLN0"), ("srcCBName", cb.name)]
        return ExtRef(a, int_addr)

    def _int_addr(self, v, tgt, da_name, port_key):
        ref = "%s/%s" % (tgt.ld, tgt.ln.name)
        path = tgt.do
        if da_name:
            sub = {"general": "stVal", "origin.orCat": "stVal", "cVal.mag.f": "mag.f"}.get(da_name, da_name)
            path += "." + sub
            tgt.ln.use(tgt.do, tgt.cdc, tgt.ln.dois[tgt.do][1], sub)
        if v.addr_style == "port":
            return "%s:%s.%s" % (v.ports[port_key % len(v.ports)], ref, path)
        if v.addr_style == "colon":
            return "%s:%s:x.%s" % (v.ports[port_key % len(v.ports)], ref, path)
        return "%s.%s" % (ref, path)

    def _odd_inputs(self, ied, rng, targets, pubs, kind):
        """Inputs that lead nowhere or bind loosely (only with --odd)."""
        pub = self._pick_publisher(ied, rng, pubs)
        cbs = [cb for cb in (pub.goose_cbs if kind == 0 else pub.sv_cbs) if cb.data_set and cb.data_set.members]
        if not cbs:
            return
        cb = cbs[0]
        m = next((x for x in cb.data_set.members if x.do_name and x.da_name), cb.data_set.members[0])
        tgt = targets.allocate(m.cdc)
        ref = "%s/%s" % (tgt.ld, tgt.ln.name)
        odd = []
        # Missing publisher IED and missing logical device.
        e = self._extref(ied, pub, cb, m, tgt)
        e.attrs[0] = ("iedName", "XX9999")
        odd.append(e)
        e = self._extref(ied, pub, cb, m, tgt)
        e.attrs[1] = ("ldInst", "NOLD")
        odd.append(e)
        # Whole data object subscribed while the data set carries attributes.
        e = self._extref(ied, pub, cb, m, tgt)
        e.attrs = [x for x in e.attrs if x[0] != "daName"]
        odd.append(e)
        # daName present but empty, prefix present but empty.
        e = self._extref(ied, pub, cb, m, tgt)
        e.attrs = [x if x[0] != "daName" else ("daName", "") for x in e.attrs]
        if not any(x[0] == "prefix" for x in e.attrs):
            e.attrs.insert(2, ("prefix", ""))
        odd.append(e)
        # Internal addresses: no ".", unknown device, "n:" and ":x" parts, SDI levels, empty.
        for addr in (ref, "NOLD/%s.%s" % (tgt.ln.name, tgt.do), "9:%s:y.%s" % (ref, tgt.do),
                     "%s.%s.mag.f" % (ref, tgt.do), "%s.%s" % (ref, tgt.do), ":%s.%s" % (ref, tgt.do),
                     "%s.%s" % (tgt.ld, tgt.do)):
            odd.append(self._extref(ied, pub, cb, m, tgt, int_addr=addr))
        e = self._extref(ied, pub, cb, m, tgt, int_addr="")
        odd.append(e)
        e = self._extref(ied, pub, cb, m, tgt)
        e.attrs = [x for x in e.attrs if x[0] != "intAddr"]
        odd.append(e)
        for e in odd:
            targets.place(e, tgt)


class _Target:
    __slots__ = ("ld", "ln", "do", "cdc")

    def __init__(self, ld, ln, do, cdc):
        self.ld, self.ln, self.do, self.cdc = ld, ln, do, cdc


class _TargetAllocator:
    """Hands out the subscriber's own data objects that its inputs are wired to."""

    def __init__(self, ied, kind):
        self.ied, self.kind = ied, kind
        v = ied.vendor
        if kind == 1:
            self.ld, self.prefix, self.variant, self.caps = "SVLD", "SVIN", "GGIO_SVIN", {"AnIn": SVIN_CAPACITY}
        elif ied.role == "M":
            self.ld, self.prefix, self.variant, self.caps = "LD0", None, "GGIO_IND", IND_CAPACITY
        elif v.addr_style == "ld0":
            self.ld, self.prefix, self.variant, self.caps = "LD0", None, "GGIO_IND", IND_CAPACITY
        else:
            self.ld, self.prefix, self.variant, self.caps = "PIGO", "GOIN", "GGIO_GOIN", GOIN_CAPACITY
        self.used = {}
        self.lns = ied.input_lns.setdefault(self.ld, [])
        # Input nodes are numbered after the published nodes of the same name stem.
        self.first_inst = 1 + sum(1 for ln in ied.pub_lns.get(self.ld, [])
                                  if ln.prefix == self.prefix and ln.ln_class == "GGIO")

    def _stem(self, cdc):
        if self.kind == 1:
            return "AnIn"
        if cdc in ("MV", "CMV"):
            return "AnIn"
        if cdc == "DPC":
            return "DPCSO"
        return "Ind" if self.variant == "GGIO_IND" else "SPCSO"

    def allocate(self, cdc):
        stem = self._stem(cdc)
        ln = self.lns[-1] if self.lns else None
        n = self.used.get((id(ln), stem), 0) + 1
        if ln is None or n > self.caps[stem]:
            inst = str(self.first_inst + len(self.lns))
            desc = ("SV开入%s" % inst if self.kind else "GOOSE开入%s" % inst) if self.ied.vendor.lang == "zh" \
                else ("SV inputs %s" % inst if self.kind else "GOOSE inputs %s" % inst)
            ln = LogicalNode(self.prefix, self.variant, inst, desc)
            self.lns.append(ln)
            n = 1
        self.used[(id(ln), stem)] = n
        do = "%s%d" % (stem, n)
        tcdc = {"AnIn": "SAV" if self.kind else "MV", "DPCSO": "DPC", "SPCSO": "SPC", "Ind": "SPS"}[stem]
        if self.ied.vendor.lang == "zh":
            desc = ("%s%s%d" % ("SV" if self.kind else "GOOSE", DO_DESC_ZH[stem], n))
        else:
            desc = "%s input %d" % ("SV" if self.kind else "GOOSE", n)
        ln.use(do, tcdc, desc)
        return _Target(self.ld, ln, do, tcdc)

    def place(self, ext, tgt):
        v = self.ied.vendor
        if v.inputs_at == "ln0":
            self.ied.ln0_inputs.setdefault(self.ld, []).append(ext)
        else:
            tgt.ln.inputs.append(ext)


# --------------------------------------------------------------------------
# Writer

class Out:
    def __init__(self, f):
        self.f = f
        self.buf = []
        self.ind = ["\t" * i for i in range(32)]

    def line(self, depth, text):
        self.buf.append(self.ind[depth] + text + "\n")

    def flush(self):
        self.f.write("".join(self.buf))
        self.buf = []


class Writer:
    def __init__(self, opts, plan, f):
        self.o = opts
        self.plan = plan
        self.out = Out(f)
        self.L = self.out.line

    def write(self):
        L = self.L
        self.out.f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        if self.o.odd:
            L(0, "<!-- generated for benchmarking: seed %d -->" % self.o.seed)
            L(0, '<?scl-tool generator="gen_scd.py"?>')
        L(0, '<SCL xmlns="http://www.iec.ch/61850/2003/SCL" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
             'version="2007" revision="B" release="4">')
        L(1, '<Header id="BENCH-%d-%d" version="1" revision="A" toolID="gen_scd.py" nameStructure="IEDName">'
          % (self.o.seed, self.o.ieds))
        L(2, "<History>")
        L(3, '<Hitem version="1" revision="A" when="2024-01-01T00:00:00Z" who="generator" what="生成的变电站配置" '
             'why="benchmark"/>')
        L(2, "</History>")
        L(1, "</Header>")
        self.write_substation()
        self.write_communication()
        self.out.flush()
        for ied in self.plan.ieds:
            self.write_ied(ied)
            self.out.flush()
        self.write_templates()
        L(0, "</SCL>")
        self.out.flush()

    # -- substation
    def write_substation(self):
        L = self.L
        L(1, '<Substation name="BENCH" desc="基准测试变电站">')
        levels = {}
        for ied in self.plan.ieds:
            levels.setdefault(ied.index // 6 % 4, []).append(ied)
        names = {0: ("E1", "220kV", "220"), 1: ("E2", "110kV", "110"), 2: ("D1", "35kV", "35"), 3: ("D2", "10kV", "10")}
        for lv in sorted(levels):
            vname, vdesc, kv = names[lv]
            L(2, '<VoltageLevel name="%s" desc="%s">' % (vname, vdesc))
            L(3, '<Voltage unit="V" multiplier="k">%s</Voltage>' % kv)
            bays = {}
            for ied in levels[lv]:
                bays.setdefault(ied.index // 6, []).append(ied)
            for b in sorted(bays):
                L(3, '<Bay name="Q%03d" desc="间隔%d">' % (b, b))
                for ied in bays[b]:
                    if ied.pub_lns:
                        ld, lns = next(iter(ied.pub_lns.items()))
                        ln = lns[0]
                        L(4, '<LNode iedName="%s" ldInst="%s"%s lnClass="%s" lnInst="%s"/>'
                          % (ied.name, ld, attrs([("prefix", ln.prefix)]), ln.ln_class, ln.inst))
                    else:
                        L(4, '<LNode iedName="%s" ldInst="LD0" lnClass="LPHD" lnInst="1"/>' % ied.name)
                L(4, '<ConnectivityNode name="CN1" pathName="BENCH/%s/Q%03d/CN1"/>' % (vname, b))
                L(3, "</Bay>")
            L(2, "</VoltageLevel>")
        L(1, "</Substation>")

    # -- communication
    def write_communication(self):
        L = self.L
        ieds = self.plan.ieds
        L(1, "<Communication>")
        # Station bus (with the IP address), GOOSE network and process bus: (name, type, desc, access point, port).
        networks = [("StationBus", "8-MMS", "站控层MMS网", "S1", ("1-A", "RJ45", "Cu")),
                    ("GooseNet", "IECGOOSE", "过程层GOOSE网", "G1", ("2-A", "LC", "FOC")),
                    ("ProcessBus", "SMV", "过程层SV网", "M1", ("3-A", "LC", "FOC"))]
        for name, net_type, desc, ap, port in networks:
            L(2, '<SubNetwork name="%s" type="%s" desc="%s">' % (name, net_type, desc))
            L(3, '<BitRate unit="b/s" multiplier="M">100</BitRate>')
            for ied in ieds:
                if ap not in ied.aps:
                    continue
                L(3, '<ConnectedAP iedName="%s" apName="%s">' % (ied.name, ap))
                if ap == "S1":
                    self._ip_address(4, ied.index)
                for cb in ied.goose_cbs:
                    if cb.ap == ap and cb.has_address:
                        self._gse(4, cb, ied)
                if ap == "M1":
                    for cb in ied.sv_cbs:
                        self._smv(4, cb)
                self._physconn(4, *port)
                L(3, "</ConnectedAP>")
            L(2, "</SubNetwork>")
        if self.o.odd:
            # A second network that repeats some access points with other addresses: the first entry
            # in document order is the one that counts.
            L(2, '<SubNetwork name="Backup" type="IECGOOSE">')
            for ied in ieds[::7]:
                if not ied.goose_cbs:
                    continue
                ap = ied.goose_cbs[0].ap
                L(3, '<ConnectedAP iedName="%s" apName="%s" desc="backup">' % (ied.name, ap))
                L(4, "<!-- repeated entry -->")
                for cb in ied.goose_cbs:
                    self._gse(4, cb, ied, mac_base=0x80)
                L(3, "</ConnectedAP>")
            L(2, "</SubNetwork>")
        L(1, "</Communication>")

    def _ip_address(self, d, index):
        L = self.L
        L(d, "<Address>")
        for t, val in (("IP", "172.%d.%d.%d" % (16 + index // 60000, index // 250 % 240, index % 250 + 1)),
                       ("IP-SUBNET", "255.255.0.0"), ("IP-GATEWAY", "172.16.0.254"), ("OSI-AP-Title", "1,3,9999,33"),
                       ("OSI-AE-Qualifier", "33"), ("OSI-PSEL", "00000001"), ("OSI-SSEL", "0001"),
                       ("OSI-TSEL", "0001")):
            L(d + 1, '<P type="%s" xsi:type="tP_%s">%s</P>' % (t, t, val))
        L(d, "</Address>")

    def _physconn(self, d, port, plug, typ):
        L = self.L
        L(d, '<PhysConn type="Connection">')
        L(d + 1, '<P type="Type">%s</P>' % typ)
        L(d + 1, '<P type="Plug">%s</P>' % plug)
        L(d + 1, '<P type="Port">%s</P>' % port)
        L(d, "</PhysConn>")

    def _gse(self, d, cb, ied, mac_base=0):
        L = self.L
        L(d, '<GSE ldInst="%s" cbName="%s">' % (cb.ld, cb.name))
        L(d + 1, "<Address>")
        a = cb.appid
        L(d + 2, '<P type="MAC-Address" xsi:type="tP_MAC-Address">01-0C-CD-01-%02X-%02X</P>'
          % ((a >> 8 & 0xFF) + mac_base & 0xFF, a & 0xFF))
        if "comments" in ied.odd:
            L(d + 2, '<P type="APPID" xsi:type="tP_APPID"><!-- hex -->%04X</P>' % a)
        else:
            L(d + 2, '<P type="APPID" xsi:type="tP_APPID">%04X</P>' % a)
        L(d + 2, '<P type="VLAN-ID" xsi:type="tP_VLAN-ID">%03X</P>' % (1 + ied.index // 6 % 4))
        L(d + 2, '<P type="VLAN-PRIORITY" xsi:type="tP_VLAN-PRIORITY">4</P>')
        L(d + 1, "</Address>")
        L(d + 1, '<MinTime unit="s" multiplier="m">2</MinTime>')
        L(d + 1, '<MaxTime unit="s" multiplier="m">5000</MaxTime>')
        L(d, "</GSE>")

    def _smv(self, d, cb):
        L = self.L
        a = cb.appid
        L(d, '<SMV ldInst="%s" cbName="%s">' % (cb.ld, cb.name))
        L(d + 1, "<Address>")
        L(d + 2, '<P type="MAC-Address">01-0C-CD-04-%02X-%02X</P>' % (a >> 8 & 0xFF, a & 0xFF))
        L(d + 2, '<P type="APPID">%04X</P>' % a)
        L(d + 2, '<P type="VLAN-ID">%03X</P>' % (0x10 + a % 8))
        L(d + 2, '<P type="VLAN-PRIORITY">4</P>')
        L(d + 1, "</Address>")
        L(d, "</SMV>")

    # -- IEDs
    def write_ied(self, ied):
        L = self.L
        v = ied.vendor
        odd = ied.odd
        desc = self._ied_desc(ied)
        L(1, '<IED%s>' % attrs([("name", ied.name), ("desc", desc), ("type", v.code.strip("_") + "-" + ied.role + "9"),
                                 ("manufacturer", v.name), ("configVersion", "V%d.%02d" % (1 + ied.index % 3,
                                                                                          ied.index % 40)),
                                 ("originalSclVersion", "2007"), ("originalSclRevision", "B")]))
        L(2, '<Private type="%sIED-Info">fw=%d.%d.%d</Private>' % (v.code, ied.index % 5, ied.index % 9, ied.index))
        self._services(ied)
        for ap in ied.aps:
            if self.o.odd and "comments" in odd:
                L(2, "<!-- access point %s -->" % ap)
                L(2, "<?AccessPoint not-an-access-point?>")
            L(2, '<AccessPoint name="%s" desc="%s">' % (ap, {"S1": "站控层", "G1": "GOOSE", "M1": "SV"}[ap]))
            L(3, "<Server>")
            L(4, '<Authentication none="true"/>')
            for ld in self._ldevices(ied, ap):
                self.write_ldevice(ied, ld)
            L(3, "</Server>")
            L(2, "</AccessPoint>")
        L(1, "</IED>")

    def _ied_desc(self, ied):
        role = {"P": "保护", "C": "测控", "I": "智能终端", "M": "合并单元", "R": "故障录波", "G": "远动网关"}[ied.role]
        if ied.vendor.lang == "en":
            role = {"P": "protection", "C": "bay controller", "I": "breaker I/O", "M": "merging unit",
                    "R": "fault recorder", "G": "gateway"}[ied.role]
            return "Bay %d %s" % (ied.index // 6, role)
        text = "间隔%d %s" % (ied.index // 6, role)
        if self.o.odd and ied.index % 11 == 0:
            text += " " + ODD_DESCS[ied.index % len(ODD_DESCS)]
        return text

    def _services(self, ied):
        L = self.L
        L(2, "<Services>")
        for s in ("DynAssociation", "GetDirectory", "GetDataObjectDefinition", "DataObjectDirectory",
                  "GetDataSetValue", "DataSetDirectory"):
            L(3, "<%s/>" % s)
        L(3, '<ConfDataSet max="64" maxAttributes="512"/>')
        L(3, "<ReadWrite/>")
        L(3, '<ConfReportControl max="32"/>')
        L(3, "<GetCBValues/>")
        L(3, "<GSEDir/>")
        L(3, '<GOOSE max="%d"/>' % max(1, len(ied.goose_cbs)))
        if ied.role == "M":
            L(3, '<SMVsc max="%d"/>' % max(1, len(ied.sv_cbs)))
        L(2, "</Services>")

    def _ldevices(self, ied, ap):
        """Logical device names of one access point, in writing order."""
        role = ied.role
        if ap == "S1":
            lds = ["LD0"]
            if role == "P":
                lds += ["PROT", "MEAS"]
            elif role == "C":
                lds += ["CTRL", "MEAS"]
            elif role == "R":
                lds += ["RCD"]
            if "PROT" in ied.data_sets and "PROT" not in lds:
                lds.append("PROT")
            return lds
        if ap == "G1":
            if role == "I":
                return ["LD0", "PIGO"] + (["PROT"] if "PROT" in ied.data_sets else [])
            return ["PIGO"]
        if role == "M":
            return ["LD0", "MU"]
        return ["SVLD"]

    def write_ldevice(self, ied, ld):
        L = self.L
        v = ied.vendor
        odd = ied.odd
        zh = v.lang == "zh"
        descs = {"LD0": "公用", "PROT": "保护", "MEAS": "测量", "CTRL": "控制", "PIGO": "过程层GOOSE",
                 "SVLD": "过程层SV", "MU": "合并单元", "RCD": "录波"}
        L(4, '<LDevice inst="%s" desc="%s">' % (ld, descs[ld] if zh else ld.lower()))
        ln0_last = "ln0-last" in odd and ld == "PIGO"
        # Logical nodes that data sets or inputs refer to come first, then the bulk.
        planned = list(ied.pub_lns.get(ld, [])) + list(ied.input_lns.get(ld, []))
        if ld == "LD0":
            planned.insert(0, LogicalNode(None, "LPHD", "1", self._ln_desc(ied, "LPHD", "1")))
        bulk = self._bulk_lns(ied, ld, planned)
        if not ln0_last:
            self.write_ln0(ied, ld, bulk)
        for ln in planned:
            self._write_ln(ied, ln)
        for ln in bulk:
            self._write_ln(ied, ln, bulk=True)
        if ln0_last:
            self.L(5, "<!-- LN0 follows the LNs in this device -->")
            self.write_ln0(ied, ld, bulk)
        L(4, "</LDevice>")

    def _bulk_lns(self, ied, ld, planned):
        """The filler nodes of a station-bus device, numbered around the planned ones."""
        classes = BULK_CLASSES.get(ld)
        if not classes or ied.role == "M" and ld != "LD0":
            return []
        taken = {(ln.prefix or "", ln.ln_class, ln.inst) for ln in planned}
        insts = {}
        out = []
        for k in range(self.o.lns_per_ld):
            variant = classes[k % len(classes)]
            cls = LN_TYPES[variant][0]
            prefix = "QB" if cls == "XSWI" else ("Alm" if variant == "GGIO_ALM" else None)
            n = insts.get((prefix, cls), 0) + 1
            while ((prefix or ""), cls, str(n)) in taken:
                n += 1
            insts[(prefix, cls)] = n
            taken.add(((prefix or ""), cls, str(n)))
            out.append(LogicalNode(prefix, variant, str(n), self._ln_desc(ied, cls, str(n))))
        return out

    def _ln_desc(self, ied, cls, inst):
        return self.plan._desc(ied, cls, inst)

    def write_ln0(self, ied, ld, bulk):
        L = self.L
        v = ied.vendor
        odd = ied.odd
        inst_attr = ' inst=""'
        if "ln0-no-inst" in odd and ld == "PIGO":
            inst_attr = ""
        L(5, '<LN0 lnClass="LLN0"%s lnType="%sLLN0" desc="%s">' % (inst_attr, v.code, esc(ld)))
        if "comments" in odd:
            L(6, "<!-- data sets -->")
        # Report data sets over the bulk nodes of the station-bus devices.
        reports = []
        if bulk and ied.role != "G":
            reports = self._report_data_sets(ld, bulk)
            for name, members in reports:
                L(6, '<DataSet name="%s" desc="%s">' % (name, "报告数据集" if v.lang == "zh" else "report"))
                for prefix, cls, inst, do, fc in members:
                    L(7, '<FCDA ldInst="%s"%s lnClass="%s" lnInst="%s" doName="%s" fc="%s"/>'
                      % (ld, attrs([("prefix", prefix)]), cls, inst, do, fc))
                L(6, "</DataSet>")
        for ds in ied.data_sets.get(ld, []):
            L(6, "<DataSet%s>" % attrs([("name", ds.name), ("desc", ds.desc)]))
            for i, m in enumerate(ds.members):
                if "comments" in odd and i == 1:
                    L(7, "<!-- member 2 -->")
                    L(7, "<?vendor-tool keep?>")
                a = reference_attributes(m) + [("fc", m.fc)]
                L(7, "<FCDA%s/>" % attrs(a))
            L(6, "</DataSet>")
        for n, (name, _) in enumerate(reports):
            L(6, '<ReportControl name="%s%s%02d" datSet="%s" intgPd="0" rptID="%s%s/LLN0$RP$%s" confRev="1" '
                 'buffered="true" bufTime="0">' % ("brcb", name[2:], n + 1, name, ied.name, ld, name))
            L(7, '<TrgOps dchg="true" qchg="true" dupd="false" period="false" gi="true"/>')
            L(7, '<OptFields seqNum="true" timeStamp="true" dataSet="true" reasonCode="true" dataRef="true" '
                 'entryID="true" configRef="true"/>')
            L(7, '<RptEnabled max="16"/>')
            L(6, "</ReportControl>")
        self._write_doi(6, "Mod", "ENC", "模式" if v.lang == "zh" else "Mode", {"ctlModel"}, vals=True)
        self._write_doi(6, "Beh", "ENS", "行为" if v.lang == "zh" else "Behaviour", set())
        self._write_doi(6, "NamPlt", "LPL", None, {"vendor", "swRev", "configRev", "ldNs"}, vals=True)
        self._write_inputs(6, ied.ln0_inputs.get(ld, []), odd)
        for cb in ied.control_blocks:
            if cb.ld != ld:
                continue
            self._write_cb(ied, cb)
        L(5, "</LN0>")

    def _report_data_sets(self, ld, bulk):
        members = []
        for ln in bulk:
            for do, cdc in LN_TYPES[ln.variant][1][1:4]:
                fc = "MX" if cdc in ("MV", "WYE", "SAV") else "ST"
                members.append((ln.prefix, ln.ln_class, ln.inst, do, fc))
        out = []
        for i in range(0, len(members), 64):
            out.append(("ds%s%d" % (ld.capitalize(), i // 64 + 1), members[i:i + 64]))
        return out

    def _write_cb(self, ied, cb):
        L = self.L
        v = ied.vendor
        odd = ied.odd
        subs = cb.receivers
        if cb.kind == 0:
            a = [("name", cb.name), ("desc", "GOOSE发送%s" % cb.name[-1] if v.lang == "zh" else None),
                 ("datSet", cb.dat_set), ("confRev", cb.conf_rev), ("type", "GOOSE"),
                 ("appID", "%s%s/LLN0.%s" % (ied.name, cb.ld, cb.name))]
            L(6, "<GSEControl%s>" % attrs(a))
            if "private-cb" in odd or (self.o.odd and cb.name.endswith("1") and ied.index % 4 == 1):
                L(7, '<Private type="%sGOOSE">' % v.code)
                L(8, "<!-- tool data -->")
                L(8, "<?boreal-tool v2?>")
                L(8, "<![CDATA[retransmit <fast> & robust]]>")
                L(8, '<bx:Opt xmlns:bx="urn:example:boreal" level="3">fast</bx:Opt>')
                L(7, "</Private>")
            elif v.code == "KST_":
                L(7, '<Private type="KST_GOOSE">T0=2;T1=4</Private>')
            if "comments" in odd:
                L(7, "<!-- receivers -->")
            for s in subs:
                L(7, "<IEDName>%s</IEDName>" % s)
            L(6, "</GSEControl>")
        else:
            a = [("name", cb.name), ("datSet", cb.dat_set), ("confRev", cb.conf_rev),
                 ("smvID", "%s%s/LLN0.%s" % (ied.name, cb.ld, cb.name)), ("multicast", "true"), ("smpRate", "80"),
                 ("nofASDU", "1"), ("smpMod", "SmpPerPeriod")]
            L(6, "<SampledValueControl%s>" % attrs(a))
            if self.o.odd and ied.index % 2 == 0:
                L(7, '<Private type="%sSV">delay=750us</Private>' % v.code)
            for s in subs:
                L(7, "<IEDName>%s</IEDName>" % s)
            L(7, '<SmvOpts refreshTime="false" sampleSynchronized="true" sampleRate="false" dataSet="false" '
                 'security="false"/>')
            L(6, "</SampledValueControl>")

    def _write_inputs(self, d, exts, odd):
        if not exts:
            return
        L = self.L
        L(d, "<Inputs>")
        for i, e in enumerate(exts):
            if "comments" in odd and i == 1:
                L(d + 1, "<!-- wired by vendor tool -->")
                L(d + 1, "<?vendor-tool ExtRef?>")
            L(d + 1, "<ExtRef%s/>" % attrs(e.attrs))
        L(d, "</Inputs>")

    def _write_ln(self, ied, ln, bulk=False):
        L = self.L
        v = ied.vendor
        prefix = ln.prefix
        if prefix is None and ln.empty_prefix:
            prefix = ""
        head = "<LN%s" % attrs([("prefix", prefix), ("lnClass", ln.ln_class), ("inst", ln.inst),
                                 ("lnType", v.code + ln.variant), ("desc", ln.desc)])
        if bulk:
            dos = LN_TYPES[ln.variant][1]
            L(5, head + ">")
            n_do = len(dos) if len(dos) <= 6 else 6
            for do, cdc in dos[:n_do]:
                if cdc == "WYE":
                    self._write_wye(6, ied, do)
                    continue
                desc = self.plan._desc(ied, ln.ln_class, ln.inst, do)
                das = {"stVal", "dU"} if cdc in ("SPS", "SPC", "DPC") else (
                    {"general", "q"} if cdc in ("ACT", "ACD") else ({"mag.f", "units.SIUnit", "db"} if cdc == "MV"
                                                                     else set()))
                self._write_doi(6, do, cdc, desc, das, vals=True)
            L(5, "</LN>")
            return
        if not ln.dois and not ln.inputs:
            L(5, head + "/>")
            return
        L(5, head + ">")
        for do, (cdc, desc, das) in ln.dois.items():
            if cdc == "WYE":
                self._write_wye(6, ied, do)
                continue
            self._write_doi(6, do, cdc, desc, das, vals=True, full=True)
        self._write_inputs(6, ln.inputs, ied.odd)
        L(5, "</LN>")

    def _write_doi(self, d, name, cdc, desc, das, vals=False, full=False):
        """A DOI with DAI children for the given DA paths (dotted paths become SDI chains)."""
        L = self.L
        paths = set(das)
        if full:
            if cdc in ("SPC", "DPC", "SPS", "INS"):
                paths |= {"stVal", "q", "t"}
            elif cdc == "MV":
                paths |= {"mag.f", "q", "t"}
            elif cdc == "SAV":
                paths |= {"instMag.i", "q", "sVC.scaleFactor", "sVC.offset"}
            elif cdc in ("ACT", "ACD"):
                paths |= {"general", "q"}
        if cdc in ("SPC", "DPC") and vals:
            paths.add("ctlModel")
        if cdc in ("SPS", "SPC", "DPC") and desc:
            paths.add("dU")
        tree = {}
        for p in sorted(paths):
            node = tree
            parts = [x for x in p.split(".") if x]
            for part in parts[:-1]:
                node = node.setdefault(part, {})
            if parts:
                node.setdefault(parts[-1], None)
        if not tree:
            L(d, "<DOI%s/>" % attrs([("name", name), ("desc", desc)]))
            return
        L(d, "<DOI%s>" % attrs([("name", name), ("desc", desc)]))
        self._write_tree(d + 1, tree, desc, cdc)
        L(d, "</DOI>")

    def _write_tree(self, d, tree, desc, cdc):
        L = self.L
        for key, sub in tree.items():
            if sub is None:
                val = None
                if key == "ctlModel":
                    val = "status-only"
                elif key == "dU":
                    val = desc
                elif key == "scaleFactor":
                    val = "0.001"
                elif key == "offset":
                    val = "0"
                elif key == "SIUnit":
                    val = "V"
                elif key == "db":
                    val = "1000"
                elif key in ("vendor", "swRev", "configRev", "ldNs"):
                    val = {"vendor": "bench", "swRev": "1.0", "configRev": "1", "ldNs": "IEC 61850-7-4:2007"}[key]
                dai_desc = (desc + "值") if key in ("stVal", "general", "i", "f") and desc else None
                if val is None:
                    L(d, "<DAI%s/>" % attrs([("name", key), ("desc", dai_desc)]))
                else:
                    L(d, "<DAI%s>" % attrs([("name", key), ("desc", dai_desc)]))
                    L(d + 1, "<Val>%s</Val>" % esc(val))
                    L(d, "</DAI>")
            else:
                L(d, '<SDI name="%s">' % key)
                self._write_tree(d + 1, sub, desc, cdc)
                L(d, "</SDI>")

    def _write_wye(self, d, ied, do):
        L = self.L
        zh = ied.vendor.lang == "zh"
        L(d, '<DOI name="%s" desc="%s">' % (do, DO_DESC_ZH.get(do, do) if zh else do))
        for ph in WYE_SDOS:
            L(d + 1, '<SDI name="%s" desc="%s">' % (ph, (ph[-1] + "相") if zh else ph))
            L(d + 2, '<SDI name="cVal">')
            L(d + 3, '<SDI name="mag">')
            L(d + 4, '<DAI name="f" desc="%s"/>' % ("幅值" if zh else "magnitude"))
            L(d + 3, "</SDI>")
            L(d + 2, "</SDI>")
            L(d + 2, '<DAI name="q"/>')
            L(d + 1, "</SDI>")
        L(d, "</DOI>")

    # -- templates
    def write_templates(self):
        L = self.L
        L(1, "<DataTypeTemplates>")
        vendors = VENDORS + ([ODD_VENDOR] if self.o.odd else [])
        for v in vendors:
            for variant, (cls, dos) in LN_TYPES.items():
                if self.o.odd and v is vendors[0] and variant == "PTRC":
                    # A second type of this id before the real one, lacking most data objects.
                    L(2, '<LNodeType id="%sPTRC" lnClass="PTRC" desc="duplicate id">' % v.code)
                    L(3, '<DO name="Tr" type="%sACD"/>' % v.code)
                    L(2, "</LNodeType>")
                L(2, '<LNodeType id="%s%s" lnClass="%s">' % (v.code, variant, cls))
                for do, cdc in dos:
                    L(3, '<DO name="%s" type="%s%s"/>' % (do, v.code, cdc))
                L(2, "</LNodeType>")
        for v in vendors:
            for cdc, das in CDC_DAS.items():
                if self.o.odd and v is vendors[0] and cdc == "SPS":
                    L(2, '<DOType id="%sSPS" cdc="SPS" desc="duplicate id">' % v.code)
                    L(3, '<DA name="stVal" bType="INT32" fc="ST"/>')
                    L(2, "</DOType>")
                L(2, '<DOType id="%s%s" cdc="%s">' % (v.code, cdc, cdc))
                for name, btype, fc, typ in das:
                    t = ""
                    if typ:
                        t = ' type="%s%s"' % (v.code if btype == "Struct" else "", typ)
                    L(3, '<DA name="%s" bType="%s"%s fc="%s"/>' % (name, btype, t, fc))
                L(2, "</DOType>")
            L(2, '<DOType id="%sWYE" cdc="WYE">' % v.code)
            for s in WYE_SDOS:
                L(3, '<SDO name="%s" type="%sCMV"/>' % (s, v.code))
            L(2, "</DOType>")
        for v in vendors:
            for dat, bdas in DA_TYPES.items():
                L(2, '<DAType id="%s%s">' % (v.code, dat))
                for name, btype, typ in bdas:
                    t = ""
                    if typ:
                        t = ' type="%s%s"' % (v.code if btype == "Struct" else "", typ)
                    L(3, '<BDA name="%s" bType="%s"%s/>' % (name, btype, t))
                L(2, "</DAType>")
        for eid, vals in ENUMS.items():
            L(2, '<EnumType id="%s">' % eid)
            for n, val in enumerate(vals):
                L(3, '<EnumVal ord="%d">%s</EnumVal>' % (n, esc(val)) if val else '<EnumVal ord="%d"/>' % n)
            L(2, "</EnumType>")
        L(1, "</DataTypeTemplates>")


# --------------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="gen_scd.py",
        description="Write a large, realistic SCD file (IEC 61850 SCL) for benchmarking ccdcrc. "
                    "The output depends only on the options: the same seed gives the same bytes.",
        epilog="Sizes with the other options at their defaults: about 0.4 MB per IED "
               "(40 IEDs ~ 15 MB, 150 ~ 60 MB, 300 ~ 120 MB, 600 ~ 250 MB).",
        formatter_class=argparse.ArgumentDefaultsHelpFormatter)
    p.add_argument("output", help="path of the SCD file to write ('-' for standard output)")
    p.add_argument("--seed", type=int, default=1, help="random seed")
    p.add_argument("--ieds", type=int, default=40, help="number of IEDs")
    p.add_argument("--lns-per-ld", type=int, default=120,
                   help="logical nodes per station-bus logical device (the bulk of each IED)")
    p.add_argument("--data-sets", type=int, default=4,
                   help="GOOSE data sets (each with its control block) per publisher; merging units get half as "
                        "many sampled-value data sets")
    p.add_argument("--members", type=int, default=16, help="members per published data set")
    p.add_argument("--inputs", type=int, default=48,
                   help="ExtRef inputs per subscribing IED (fault recorders take three times as many)")
    p.add_argument("--sv-share", type=float, default=0.2, help="share of IEDs that are merging units (0..1)")
    p.add_argument("--odd", action="store_true",
                   help="mix in unusual content that stresses the lookup rules: empty versus missing attributes, "
                        "duplicate names and type ids, dangling inputs, odd internal addresses, comments and "
                        "processing instructions in odd places")
    p.add_argument("--instance-members", type=int, default=0, metavar="N",
                   help="the first protection IED also sends a data set of N members that differ only in lnInst, "
                        "and another IED binds an input to each")
    p.add_argument("--quiet", action="store_true", help="do not report size and time on standard error")
    o = p.parse_args(argv)
    if o.ieds < 1:
        p.error("--ieds must be at least 1")
    if not 0.0 <= o.sv_share <= 1.0:
        p.error("--sv-share must lie between 0 and 1")
    for name in ("lns_per_ld", "data_sets", "members", "inputs", "instance_members"):
        if getattr(o, name) < 0:
            p.error("--%s must not be negative" % name.replace("_", "-"))
    o.data_sets = max(1, o.data_sets)
    o.members = max(1, o.members)
    return o


def main(argv=None):
    o = parse_args(sys.argv[1:] if argv is None else argv)
    start = time.monotonic()
    plan = Planner(o)
    plan.assign_roles()
    plan.plan_publications()
    plan.plan_inputs()
    plan.plan_instance_members()
    if o.output == "-":
        f = io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="\n")
        Writer(o, plan, f).write()
        f.flush()
        f.detach()
    else:
        with open(o.output, "w", encoding="utf-8", newline="\n") as f:
            Writer(o, plan, f).write()
    if not o.quiet and o.output != "-":
        size = os.path.getsize(o.output)
        print("%s: %d IEDs, %.1f MB in %.1f s" % (o.output, o.ieds, size / 1e6, time.monotonic() - start),
              file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
