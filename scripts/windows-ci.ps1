# The Windows job of CI, step by step, as a Windows developer runs it by hand
# with Visual Studio 2022 ("Desktop development with C++") installed:
#   powershell -ExecutionPolicy Bypass -File scripts\windows-ci.ps1 -Preset msvc-x64
#   powershell -ExecutionPolicy Bypass -File scripts\windows-ci.ps1 -Preset msvc-x86 -Step test
# Steps, in this order for "all": configure, build and test with the preset
# (warnings are errors there), then bench: the pacing benchmark against the
# simulator, its figures printed and kept in build\<preset>\pacing-bench.txt,
# never judged. Each step runs in Visual Studio's developer environment for
# the preset's architecture; the first that fails ends the script with its
# exit code. A failed test leaves a screenshot in build\<preset>\test-artifacts.
[CmdletBinding()]
param(
  [Parameter(Mandatory = $true)][string]$Preset,
  [ValidateSet('configure', 'build', 'test', 'bench', 'all')][string]$Step = 'all'
)
$ErrorActionPreference = 'Stop'
$root = Split-Path -Parent $PSScriptRoot
Set-Location $root
$buildDir = Join-Path $root "build\$Preset"

# The preset's architecture, as CMakePresets.json gives it.
$presets = Get-Content -Raw (Join-Path $root 'CMakePresets.json') | ConvertFrom-Json
$configure = $presets.configurePresets | Where-Object { $_.name -eq $Preset }
if (-not $configure -or -not $configure.architecture) { throw "no Visual Studio preset named '$Preset'" }
$arch = $configure.architecture.value

function Enter-DeveloperEnvironment {
  $vswhere = Join-Path ${env:ProgramFiles(x86)} 'Microsoft Visual Studio\Installer\vswhere.exe'
  $vs = & $vswhere -latest -products * -requires Microsoft.VisualStudio.Component.VC.Tools.x86.x64 -property installationPath
  if (-not $vs) { throw 'no Visual Studio with the C++ tools (vswhere found none)' }
  $vcvars = Join-Path $vs 'VC\Auxiliary\Build\vcvarsall.bat'
  # "call" first: cmd would otherwise take the quotes around the path for its own.
  $environment = cmd /c "call `"$vcvars`" $arch >nul && set"
  if ($LASTEXITCODE -ne 0) { throw "vcvarsall.bat $arch failed" }
  foreach ($line in $environment) {
    if ($line -match '^([^=]+)=(.*)$') { [Environment]::SetEnvironmentVariable($Matches[1], $Matches[2]) }
  }
}

function Invoke-Checked([string]$program, [string[]]$arguments) {
  Write-Host "> $program $($arguments -join ' ')"
  & $program @arguments
  if ($LASTEXITCODE -ne 0) { exit $LASTEXITCODE }
}

# regsvr32 is a windowed program: PowerShell would not wait for it.
function Invoke-Regsvr32([string[]]$arguments) {
  $process = Start-Process regsvr32 -ArgumentList $arguments -Wait -PassThru -NoNewWindow
  return $process.ExitCode
}

function Invoke-Bench {
  $dll = Join-Path $buildDir 'sim\qbus_sim.dll'
  $bench = Join-Path $buildDir 'bench\pacing_bench.exe'
  $figures = Join-Path $buildDir 'pacing-bench.txt'
  if ((Invoke-Regsvr32 @('/s', "`"$dll`"")) -ne 0) { throw "could not register $dll" }
  try {
    Write-Host "> $bench 3"
    & $bench 3 | Tee-Object -FilePath $figures  # its errors go to the log only
    $status = $LASTEXITCODE
  } finally {
    # No PC keeps the simulator registered: it would hide a driver installed later.
    Invoke-Regsvr32 @('/s', '/u', "`"$dll`"") | Out-Null
  }
  if ($status -ne 0) { exit $status }
}

Enter-DeveloperEnvironment
if (-not $env:T6_TEST_ARTIFACTS) { $env:T6_TEST_ARTIFACTS = Join-Path $buildDir 'test-artifacts' }
$steps = if ($Step -eq 'all') { @('configure', 'build', 'test', 'bench') } else { @($Step) }
foreach ($one in $steps) {
  Write-Host "== $one ($Preset, $arch)"
  switch ($one) {
    'configure' { Invoke-Checked cmake @('--preset', $Preset) }
    'build' { Invoke-Checked cmake @('--build', '--preset', $Preset) }
    'test' { Invoke-Checked ctest @('--preset', $Preset, '-j2', '--timeout', '600') }
    'bench' { Invoke-Bench }
  }
}
