# On a real Windows, outside MSYS2: checks the downloaded release files against SHA256SUMS,
# installs Leafward's installer silently, runs the installed leafward-cli.exe (--version, and a
# Check of a test account set against its expected report) with a PATH of Windows's own folders
# only, checks the Apps-and-features entry, uninstalls it silently and checks that the folder,
# the entry and HKLM\Software\Leafward are gone.
#   pwsh -File scripts/test-installed-windows.ps1 -Dist FOLDER
# FOLDER holds the release files (scripts/release-files.sh). Run as an administrator (the
# installer writes to Program Files and HKLM).
param([Parameter(Mandatory = $true)][string]$Dist)
$ErrorActionPreference = 'Stop'
$root = Split-Path -Parent $PSScriptRoot
$Dist = (Resolve-Path $Dist).Path
$script:failures = 0
function Check([string]$what, [scriptblock]$test) {
  if (& $test) { Write-Output "ok: $what" } else { Write-Output "FAILED: $what"; $script:failures++ }
}

# Every file as SHA256SUMS lists it, as a user checks a download.
$sums = Get-Content (Join-Path $Dist 'SHA256SUMS')
Check "SHA256SUMS lists the installer, the ZIP and the .deb" { $sums.Count -eq 3 }
foreach ($line in $sums) {
  $hash, $file = $line -split '  ', 2
  Check "checksum of $file" {
    (Get-FileHash -Algorithm SHA256 (Join-Path $Dist $file)).Hash -eq $hash.ToUpperInvariant()
  }
}
$Installer = @(Get-ChildItem (Join-Path $Dist 'leafward-*-win64.exe'))
if ($Installer.Count -ne 1) { throw "expected one installer in $Dist" }
$Installer = $Installer[0].FullName
# Nothing of MSYS2, Git or a toolchain on PATH: a DLL the programs need and Windows lacks
# cannot be found anywhere.
$env:PATH = "$env:SystemRoot\System32;$env:SystemRoot;$env:SystemRoot\System32\WindowsPowerShell\v1.0"
$folder = Join-Path $env:ProgramFiles 'Leafward'
$cli = Join-Path $folder 'leafward-cli.exe'
$entry = 'HKLM:\Software\Microsoft\Windows\CurrentVersion\Uninstall\Leafward'
$own = 'HKLM:\Software\Leafward'
# Runs a program to its end; its standard output (UTF-8) and exit code.
function Run([string]$program, [string[]]$arguments, [string]$workingFolder) {
  $start = New-Object System.Diagnostics.ProcessStartInfo $program
  foreach ($argument in $arguments) { $start.ArgumentList.Add($argument) }
  $start.WorkingDirectory = $workingFolder
  $start.UseShellExecute = $false
  $start.RedirectStandardOutput = $true
  $start.RedirectStandardError = $true
  $start.StandardOutputEncoding = [System.Text.Encoding]::UTF8
  $process = [System.Diagnostics.Process]::Start($start)
  $out = $process.StandardOutput.ReadToEndAsync()
  $err = $process.StandardError.ReadToEndAsync()
  $process.WaitForExit()
  if ($err.Result) { Write-Host "  ${program}: $($err.Result.Trim())" }
  return @{ Output = $out.Result; Code = $process.ExitCode }
}

$install = Start-Process -FilePath $Installer -ArgumentList '/S' -Wait -PassThru
Check 'the installer ended with 0' { $install.ExitCode -eq 0 }
Check 'leafward.exe and leafward-cli.exe installed' {
  (Test-Path (Join-Path $folder 'leafward.exe')) -and (Test-Path $cli)
}
$version = Run $cli @('--version') $env:TEMP
Check "leafward-cli.exe --version runs ($($version.Output.Trim()))" {
  $version.Code -eq 0 -and $version.Output -match '^leafward-cli '
}

# Check of a test account set under a Chinese name, in a folder of its own, with the records of
# repairs there too.
$work = Join-Path $env:TEMP ('leafward-installed-' + [guid]::NewGuid())
New-Item -ItemType Directory -Path $work | Out-Null
$env:LEAFWARD_RECORD_DIR = Join-Path $work 'records'
$name = [string]::new([char[]](0x8D26, 0x5957)) + ' worked-example.mdb'
Copy-Item (Join-Path $root 'tests\data\account-sets\worked-example.mdb') (Join-Path $work $name)
$check = Run $cli @('check', $name) $work
$expected = [System.IO.File]::ReadAllText((Join-Path $root 'tests\check-reports\worked-example.txt'),
  [System.Text.Encoding]::UTF8)
Check 'Check of worked-example.mdb reports what it should (exit 1: wrong flags found)' {
  $check.Code -eq 1 -and $check.Output -ceq $expected
}
if ($check.Output -cne $expected) { Write-Output "  it printed:`n$($check.Output)" }

$key = Get-Item $entry -ErrorAction SilentlyContinue
Check 'the Apps-and-features entry' { $null -ne $key -and $key.GetValue('DisplayName') -eq 'Leafward' }
if ($key) {
  Check 'NoModify and NoRepair are the number 1' {
    $key.GetValueKind('NoModify') -eq 'DWord' -and $key.GetValue('NoModify') -eq 1 -and
    $key.GetValueKind('NoRepair') -eq 'DWord' -and $key.GetValue('NoRepair') -eq 1
  }
  Check 'EstimatedSize is a number of KB' {
    $key.GetValueKind('EstimatedSize') -eq 'DWord' -and $key.GetValue('EstimatedSize') -gt 0
  }
  Check 'InstallLocation is the folder' { $key.GetValue('InstallLocation') -eq $folder }
}

# The uninstaller copies itself away and goes on from there: wait for what it removes.
Start-Process -FilePath (Join-Path $folder 'Uninstall.exe') -ArgumentList '/S' -Wait
for ($i = 0; $i -lt 120 -and (Test-Path $folder); $i++) { Start-Sleep -Milliseconds 500 }
Check 'the folder removed' { -not (Test-Path $folder) }
Check 'the Apps-and-features entry removed' { -not (Test-Path $entry) }
Check 'HKLM\Software\Leafward removed' { -not (Test-Path $own) }
Remove-Item -Recurse -Force $work

if ($script:failures -ne 0) {
  Write-Output "test-installed-windows: $($script:failures) checks failed"
  exit 1
}
Write-Output 'test-installed-windows: every check passed'
