#!/usr/bin/env bash
# The command-line contract of orlix-cli: outputs that scripts rely on.
# usage: cli_test.sh PATH/TO/orlix-cli
set -u
CLI=$1
pass=0
fail=0

# expect CODE STDOUT STDERR_FIRST_LINE -- ARGS...
expect() {
    local code=$1 out=$2 err=$3
    shift 4
    local got_out got_err got_code
    got_out=$("$CLI" "$@" 2>/tmp/orlix-cli-err.$$)
    got_code=$?
    got_err=$(head -n 1 /tmp/orlix-cli-err.$$)
    if [ "$got_code" = "$code" ] && [ "$got_out" = "$out" ] && { [ -z "$err" ] || [ "$got_err" = "$err" ]; }; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        printf 'FAIL: orlix-cli %s\n  want: %s | %s | %s\n  got:  %s | %s | %s\n' "$*" "$code" "$out" "$err" \
            "$got_code" "$got_out" "$got_err"
    fi
}

# expect_stderr ARGS... : the whole standard error of a failing call
expect_stderr() {
    local want=$1
    shift
    local got
    got=$("$CLI" "$@" 2>&1 >/dev/null)
    if [ "$got" = "$want" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        printf 'FAIL: orlix-cli %s\n  want stderr: %s\n  got stderr:  %s\n' "$*" "$want" "$got"
    fi
}

# eval: the value with %.17g
expect 0 "6" "" -- eval --x 3 '2x'
expect 0 "0.10000000000000001" "" -- eval '0.1'
expect 0 "inf" "" -- eval '1/0'
expect 0 "-inf" "" -- eval '-1/0'
expect 0 "nan" "" -- eval '0/0'
expect 0 "-0" "" -- eval --x 0 -- '-x'
expect 0 "nan" "" -- eval --x nan 'x'
expect 0 "3" "" -- eval --x -3 '|x|'
expect 0 "5" "" -- eval --y 2 --t 3 'y+t'
expect 0 "7" "" -- eval --f 3 --r 4 'θ+r'
expect 0 "6" "" -- eval --f 3 'φ+i'
expect 0 "6" "" -- eval --a 1 --b 2 --c 3 'a+b+c'
expect 0 "1" "" -- eval --x 0.3 'sin^2(x)+cos^2(x)'
expect 0 "3.1415926535897931" "" -- eval 'pi'
expect 0 "2.718281828459046" "" -- eval 'e'
expect 0 "0" "" -- eval 'g'

# parse: names quoted, numbers %.17g, one space between
expect 0 "'x' 1 'x' '+' '*'" "" -- parse --raw 'x(1+x)'
expect 0 "'x' 'sin' 2 '^'" "" -- parse --raw 'sin^2(x)'
expect 0 "'x' 'ln' 2 'ln' '/'" "" -- parse --raw 'logn(x,2)'
expect 0 "'x' '||'" "" -- parse '|x|'
expect 0 "3.1415926535897931" "" -- parse 'pi'
expect 0 "'θ' 'φ' '+'" "" -- parse --raw 'θ+φ'

# failures: reason, then name, then user info as JSON
expect_stderr $'Too many opening braces!\nname: Syntax Error!' eval '(x'
expect_stderr $'Wronggg Syntax!\nname: Syntax Error!\ninfo: {"position":1,"string":"+x"}' eval '+x'
expect_stderr $'Wrong braces order! \']\' after \'(\'!\nname: Syntax Error!\ninfo: {"position":3,"string":"(x]"}' parse '(x]'
expect_stderr $'Function is ambiguous!\nname: Function is ambiguous!' parse '|x|y|c|'
expect_stderr $'Unknown function \'sinx\'!\nname: Unknown function \'sinx\'!' eval 'sinx(2)'
expect 1 "" "Bad braces order!" -- eval '|x'
expect 1 "" "Wrong Syntax!" -- parse ''

# diff: the derivative, simplified unless --raw
expect 0 "'x' 2 '^' 3 '*'" "" -- diff x 'x^3'
expect 0 "'x' 2 '^' 1 '*' 3 '*'" "" -- diff --raw x 'x^3'
expect 0 "'θ' 'cos'" "" -- diff θ 'sin(θ)'
expect 0 "10" "" -- eval --x 5 'D(x^2,x)'
expect 0 "6" "" -- eval --x 1 'D(D(x^3,x),x)'
expect 0 "'a' 'x' 2 '*' '*'" "" -- diff x 'a*x^2'
expect 2 "" "" -- diff a 'a*x'
expect_stderr $'Invalid usage of D(,)!\nname: Invalid usage of D(,)!' eval 'D(x^2,2)'
expect 2 "" "" -- diff q 'x'

# numeric services
expect 0 '{"root":1.4142135623730951,"badRoot":"nan"}' "" -- root x 0 2 'x^2-2'
expect 0 '{"root":"nan","badRoot":0.0}' "" -- root x -1 1 '1/x'
expect 0 '{"x":0.7071067811865477,"y":0.7071067811865477,"badRoot":"nan"}' "" -- rootseg 0 0 2 2 'x^2+y^2-1'
expect 0 "1" "" -- limit x 0 'sin(x)/x'
expect 0 "-inf" "" -- limit --left x 0 '1/x'
expect 0 "inf" "" -- limit x 0 '1/x'
expect 0 "0" "" -- limit x inf 'exp(-x)'
expect 0 "yes" "" -- period2pi x 'sin(x)'
expect 0 "no" "" -- period2pi x 'sin(x/2)'
expect 0 "yes" "" -- period 6.283185307179586 'sin(x)'
expect 0 "no" "" -- period 1 'sin(x)'

# the function model
expect 0 $'{"info":{"ddy/dxx":6.0,"dy/dx":3.0,"k":0.18973665961010278},"point":[1.0,1.0],"value":1.0,"variable":1.0}\n"y=\u20051\\n∂y/∂x=\u20053\\n∂²y/∂x²=\u20056\\nk=\u20050.1897367"' "" -- point yx 'x^3' 1
expect 0 $'{"info":null,"point":["nan","nan"],"value":0.0,"variable":0.0}\n"y=\u20050\\n∂y/∂x=\u2005undefined\\n∂²y/∂x²=\u2005undefined\\nk=\u2005undefined"' "" -- point yx 'x' nan
# The kind's own prefix is dropped, as in the app; another "=" is refused.
expect 0 "$("$CLI" point yx 'x^3' 1)" "" -- point yx 'y=x^3' 1
expect 0 "$("$CLI" point t 't;t^2' 2)" "" -- point t 'x(t)=t;y(t)=t^2' 2
expect 1 "" "Unknown function 'x='!" -- point yx 'y=x=2' 2
expect 0 $'null\nnull' "" -- range yx 'x' inf 1
expect 0 $'{"l":0.0,"p":0.0,"s":0.0,"v":0.0}\n"S= ∫=\u20050\\nl=\u20050\\nVox=\u20050\\nSox=\u20050"' "" -- range yx 'x' 0 0
expect 0 '[]' "" -- marks yx 'x^2+1' --roots
# parameters: a, b and c as given, 0 otherwise; no number is refused
expect 0 $'{"info":{"ddy/dxx":0.0,"dy/dx":3.0,"k":0.0},"point":[1.0,5.0],"value":5.0,"variable":1.0}\n"y=\u20055\\n∂y/∂x=\u20053\\n∂²y/∂x²=\u20050\\nk=\u20050"' "" -- point yx 'a*x+b' 1 --a 3 --b 2
expect 0 '[{"betta":0.0,"info":{"ddy/dxx":8.0,"dy/dx":-3.999999999999999,"k":0.11413441178180384},"point":[-0.4999999999999999,0.0],"type":"root","value":0.0,"variable":-0.4999999999999999},{"betta":0.0,"info":{"ddy/dxx":8.0,"dy/dx":4.0,"k":0.11413441178180377},"point":[0.5,0.0],"type":"root","value":0.0,"variable":0.5}]' "" -- marks yx 'a*x^2-1' --a 4 --roots
expect 2 "" "" -- marks yx 'a*x^2-1' --a nan --roots
expect 2 "" "" -- point zz 'x' 1

# polar and parametric curves: a range of their own, the trace
# The circle turned about the x axis sweeps the sphere twice (8π); its volume cancels.
expect 0 $'{"a":0.0,"b":6.283185307179586,"is":6.283185307179587,"l":6.283185307179587,"p":25.132741228810914,"s":3.1415926535897936,"v":1.900234298167459e-15}\n"∫=\u20056.283185\\nS=\u20053.141593\\nl=\u20056.283185\\nVox=\u20050\\nSox=\u200525.13274"' "" -- range rf '1' 0 6.283185307179586
expect 0 $'{"point":[0.9987523388778446,-0.0499376169438931],"variable":6.233226911457643}\n{"point":[0.9950371902099892,0.0995037190209988],"variable":0.09966865249116191}' "" -- trace t 'cos(t);sin(t)' 1,-0.05 1,0.1 --range 0,2π
expect 0 '{"point":[-0.9950371902099892,-0.09950371902099862],"variable":3.241261306080955}' "" -- trace rf 1 -1,-0.1 --range -pi/2,3pi/2
expect 2 "" "--range: MinVal shouldn't be greater than MaxVal!" -- point rf 1 0 --range 2,1
expect 2 "" "--range: Infinity value!" -- record t 't;t' --range 0,inf
expect 2 "" "--range: Value is NAN!" -- record rf 't' --range nan,1
# implicit curves: a point by both coordinates, the grid pass, marks and
# intersections with curves given by --with
expect 0 $'{"info":{"ddy/dxx":-0.390625,"dy/dx":-0.75,"k":-0.2},"point":[3.0,4.0],"value":4.0,"variable":3.0}\n"y=\u20054\\n∂y/∂x=\u2005-0.75\\n∂²y/∂x²=\u2005-0.390625\\nk=\u2005-0.2"' "" -- point i 'x^2+y^2-25' 3,4
expect 2 "" "" -- point i 'x^2+y^2-25' 3
expect 0 '{"points":[],"segments":[]}' "" -- contour 'x^2+y^2+1' --n 25
expect 2 "" "" -- contour 'x' --n 10
expect 2 "" "" -- contour 'x^2+y^2-1' --dpr 0
# enclosures: over a range of the formula's variable, or a box of x and y
expect 0 '{"hi":"inf","lo":"-inf","maybeDiscontinuous":true,"maybeUndefined":false}' "" -- enclose 'tan(x)' 1 1.6
expect 0 '{"hi":1.000000000000001,"lo":-1.5e-323,"maybeDiscontinuous":false,"maybeUndefined":false}' "" -- enclose 'x^2+y^2' -1,1 0,0
expect 1 "" "" -- enclose 'sqrt(x)' 2 1
expect 0 $'{"point":[1.414213562373095,1.414213562373095],"variable":"nan"}' "" -- trace i 'x^2+y^2-4' 1.5,1.5
# count_marks TYPE COUNT ARGS... : how many marks of a type the marks command prints
count_marks() {
    local type=$1 want=$2
    shift 2
    local got
    got=$("$CLI" marks "$@" | grep -o "\"type\":\"$type\"" | wc -l)
    if [ "$got" = "$want" ]; then pass=$((pass + 1)); else
        fail=$((fail + 1)); echo "FAIL: orlix-cli marks $* gave $got $type marks, want $want"; fi
}
count_marks root 4 i 'x^2+y^2-1' --roots --scale 60
count_marks minmax 4 i 'x^2+y^2-1' --extrs --scale 60
count_marks inter 2 yx 'x^2' --inters --with xy:'y^2' --scale 100
count_marks inter 0 yx 'x^2' --inters --scale 100
count_marks inter 2 i 'x^2+y^2-4' --inters --with i:'(x-2)^2+y^2-4' --scale 40
# polar and parametric curves crossing each other: one mark a place, however
# many times a curve runs round; none for a curve and its copy, or apart
count_marks inter 2 rf '1' --inters --with 'rf:2cos(θ)'
count_marks inter 4 t 'cos(t);sin(t)' --inters --with 't:2cos(t);0.5sin(t)'
count_marks inter 2 rf '1' --inters --with 't:cos(t);sin(t)+1'
count_marks inter 0 rf '1' --inters --with 'rf:1'
# A crossing in the middle of the other curve's range, and that range given.
count_marks inter 3 yx 'x' --inters --with 'rf:f'
count_marks inter 1 yx 'x' --inters --with 'rf:f@0,0.5'
count_marks inter 0 i 'x^2+y^2-4' --inters --with 'i:4-x^2-y^2'
count_marks inter 0 rf '1' --inters --with 'rf:3'
count_marks inter 4 i 'x^2+y^2-2' --inters --with 't:cos(t);2sin(t)'

# render writes a PNG when the Qt build is there
if "$CLI" --help | grep -q '^  render'; then
    png=$(mktemp --suffix=.png)
    expect 0 "$png" "" -- render "$png" --seed 1 --roots --extrs 'y(x)=x^2-2' 'x(y)=y^2'
    if [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ]; then pass=$((pass + 1)); else
        fail=$((fail + 1)); echo "FAIL: render did not write a PNG"; fi
    expect 2 "" "" -- render "$png" 'z(x)=1'
    expect 0 "$png" "" -- render "$png" --roots --extrs 'r(θ)=1+2cos(θ)' 'r(f)=f@0,6pi' 'x(t)=cos(3t);y(t)=sin(2t)@0,2π'
    expect 0 "$png" "" -- render "$png" --inters --with 'i:x^2+y^2-4' '0=x*y-1'
    # the extension picks the format; --dpr is the PNG's pixels per point
    svg=$(mktemp --suffix=.svg)
    expect 0 "$svg" "" -- render "$svg" --seed 1 'y(x)=sin(x)' 'r(θ)=1+cos(θ)'
    if grep -q '<svg' "$svg" && [ "$(grep -c '<path' "$svg")" -ge 2 ]; then pass=$((pass + 1)); else
        fail=$((fail + 1)); echo "FAIL: render did not write an SVG with paths"; fi
    expect 0 "$png" "" -- render "$png" --size 100,50 --dpr 3 'sin(x)'
    if [ "$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ')" = " 0 0 1 44 0 0 0 150" ]; then pass=$((pass + 1)); else
        fail=$((fail + 1)); echo "FAIL: render --dpr 3 did not make a 300 x 150 PNG"; fi
    expect 2 "" "render writes a .png or an .svg file" -- render "${png%.png}.jpg" 'sin(x)'
    expect 1 "" "" -- render "$png/inside-a-file.png" 'sin(x)'
    [ -e "$png/inside-a-file.png" ] && { fail=$((fail + 1)); echo "FAIL: render left a file"; } || pass=$((pass + 1))
    rm -f "$png" "$svg"
fi

# usage errors exit 2
expect 2 "" "" -- eval
expect 2 "" "" -- eval --x
expect 2 "" "" -- eval --x abc 'x'
expect 2 "" "" -- no-such-command

rm -f /tmp/orlix-cli-err.$$
echo "cli contract: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
