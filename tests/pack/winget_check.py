#!/usr/bin/python3
"""winget_check.py FOLDER SCHEMAS SETUP PACKAGE ARCH ID PUBLISHER LICENSE: the
three manifests setup-pack wrote into FOLDER, read by PyYAML, validate
against winget's 1.6.0 JSON schemas in SCHEMAS and say what the files say:
the setup's SHA-256 and architecture (ARCH, as `file` tells it), the
package's properties as msiinfo exports them, the publisher and license of
the command line. Prints each difference; exit status 1 if any."""
import hashlib
import json
import os
import subprocess
import sys

import jsonschema
import yaml

folder, schemas, setup, package, arch, package_id, publisher, licence = sys.argv[1:9]
problems = []


def table(name):
    """Rows of a table of PACKAGE as msiinfo exports them, by their key."""
    lines = subprocess.run(["msiinfo", "export", package, name], capture_output=True,
                           text=True, check=True).stdout.splitlines()[3:]
    return dict((line.split("\t") + [""])[:2] for line in lines)


properties = table("Property")
locale = {"1033": "en-US", "1036": "fr-FR", "1031": "de-DE"}[properties["ProductLanguage"]]
names = {"version": f"{package_id}.yaml", "installer": f"{package_id}.installer.yaml",
         "defaultLocale": f"{package_id}.locale.{locale}.yaml"}
if sorted(os.listdir(folder)) != sorted(names.values()):
    problems.append(f"files {sorted(os.listdir(folder))}, not {sorted(names.values())}")
manifests = {}
for kind, name in names.items():
    with open(os.path.join(folder, name), encoding="utf-8") as f:
        manifests[kind] = document = yaml.safe_load(f)
    with open(os.path.join(schemas, f"manifest.{kind}.1.6.0.json"), encoding="utf-8") as f:
        validator = jsonschema.Draft7Validator(json.load(f))
    problems += [f"{name}: {error.message}" for error in validator.iter_errors(document)]
    if document.get("PackageIdentifier") != package_id or \
            document.get("PackageVersion") != properties["ProductVersion"]:
        problems.append(f"{name}: identifier or version differ")

installer, details = manifests["installer"], manifests["defaultLocale"]
with open(setup, "rb") as f:
    digest = hashlib.sha256(f.read()).hexdigest()
only = (installer.get("Installers") or [{}])[0]
allusers = properties.get("ALLUSERS")
expected = {
    "InstallerSha256": (only.get("InstallerSha256", "").lower(), digest),
    "Architecture": (only.get("Architecture"), arch),
    "InstallerLocale": (installer.get("InstallerLocale"), locale),
    "DefaultLocale": (manifests["version"].get("DefaultLocale"), locale),
    "Scope": (installer.get("Scope"), {"1": "machine", None: "user"}.get(allusers)),
    "InstallLocation": ("InstallLocation" in installer["InstallerSwitches"],
                        "INSTALLDIR" in table("Directory")),
    "ProductCode": (installer.get("ProductCode"), properties["ProductCode"]),
    "AppsAndFeaturesEntries": (installer.get("AppsAndFeaturesEntries"), [{
        "DisplayName": properties["ProductName"], "Publisher": properties["Manufacturer"],
        "DisplayVersion": properties["ProductVersion"], "ProductCode": properties["ProductCode"],
        "UpgradeCode": properties["UpgradeCode"]}]),
    "ExpectedReturnCodes": ({c["InstallerReturnCode"]: c["ReturnResponse"]
                             for c in installer.get("ExpectedReturnCodes", [])},
                            {1602: "cancelledByUser", 1618: "installInProgress",
                             1638: "downgrade", 1639: "invalidParameter",
                             3010: "rebootRequiredToFinish"}),
    "Publisher": (details.get("Publisher"), publisher or properties["Manufacturer"]),
    "License": (details.get("License"), licence),
    "PackageName": (details.get("PackageName"), properties["ProductName"]),
}
problems += [f"{key}: {got!r}, not {want!r}" for key, (got, want) in expected.items() if got != want]
if problems:
    print("\n".join(problems))
sys.exit(1 if problems else 0)
